// The install journal: every action an install takes that the uninstaller
// must undo, one record line per action, saved as "unins000.dat" beside the
// uninstaller. It is the uninstaller's only memory of the install.
//
// A record is its kind tag and its fields joined by "|", nothing escaped; the
// last field of a kind runs to the end of the line. Kinds:
//   M|name|value                  install-wide facts, read by name
//   F|path                        a file the install created or replaced
//   D|path                        a folder the install created
//   RK|root|view|key              a key the install owns (deleted whole)
//   RE|root|view|key              a key deleted only when empty
//   RV|root|view|key|name         a value the install wrote
//   PA|root|view|key|name|item    an item added to a ";" list value (PATH)
//   X|type|path                   an uninstall-time deletion by type
//   R|program|parameters|folder|flags   an uninstall-time program
// root is the registry root index (0 HKCR, 1 HKCU, 2 HKLM, 3 HKU), view "32"
// or "64".
//
// The records, their text and the list helpers need no Windows interface
// (KS.Journal.cpp); the file, the registry list values and the replay do
// (KS.Journal.Files.cpp, KS.Journal.Registry.cpp, KS.Journal.Undo.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "System.Remainder.Object.h"

namespace KS {

class TSetupObserver;

// First line of the journal file; a loader checks only "KSETUP-JOURNAL".
inline constexpr char16_t JournalHeaderLine[] = u"KSETUP-JOURNAL 1";

class TJournal : public System::TObject {
public:
    // The record lines in the order they were added, without line ends.
    const std::vector<std::u16string>& Records() const { return records_; }
    // A deletion had to wait for the next restart (set by the replay).
    bool RebootNeeded = false;

    // Empties the records, forgets what existed before the run and clears
    // RebootNeeded.
    void Clear();

    // True when a record equals the text, ASCII letters folded.
    bool Contains(const std::u16string& record) const;

    // The writers add their record only when no equal record is there yet.
    // existed says that the file, key or value was there before this run
    // (or, for a deletion, that it would reach what was): the uninstall
    // undoes such a record, a rollback of the run leaves it alone. Only a
    // record that this call adds takes the mark.
    void AddFile(const std::u16string& path, bool existed = false);
    void AddDir(const std::u16string& path);
    void AddRegKey(uint32_t root, bool view32, const std::u16string& key, bool existed = false);
    void AddRegKeyIfEmpty(uint32_t root, bool view32, const std::u16string& key, bool existed = false);
    void AddRegValue(uint32_t root, bool view32, const std::u16string& key, const std::u16string& name,
                     bool existed = false);
    void AddDelete(const std::u16string& type, const std::u16string& path, bool existed = false);
    void AddRun(const std::u16string& program, const std::u16string& parameters,
                const std::u16string& folder, const std::u16string& flags);

    // Adds the item to the ";" list held by a string value (created when it
    // does not exist) and records "PA|". An item already in the list changes
    // nothing and is not recorded, so that the uninstall leaves it in place.
    // False, with nothing written, when the value cannot be read as a string
    // (any reason but its absence) or cannot be written; LastOsError says why.
    bool AddRegListItem(uint32_t root, bool view32, const std::u16string& key,
                        const std::u16string& name, const std::u16string& item);

    // One "M|" record per name: setting it again replaces the value in place.
    void SetMeta(const std::u16string& name, const std::u16string& value);
    // The value of the first "M|" record of exactly that name, else the default.
    std::u16string GetMeta(const std::u16string& name, const std::u16string& defaultValue) const;

    // Appends the record line as it stands, even when an equal one is there,
    // so that a loaded journal can be copied line for line.
    void AddRecordLine(const std::u16string& record);

    // Appends the other journal's records that are not "M|" and not present.
    // They belong to an earlier installation: marked as existing.
    void MergeRecords(const TJournal& other);
    // The record names what was there before this run (see AddFile).
    bool Existed(const std::u16string& record) const;

    // Undoes the records: the "R|" programs when runPrograms is set, files
    // newest first, "X|" deletions, one backward registry pass, folders
    // longest first; then the broadcasts the journal asks for. Records
    // marked as existing are left alone. A cancel from the observer stops at
    // once. False when a file could not be deleted or the user cancelled.
    // Notes about what it had to leave go to the log, when one is given.
    bool Undo(TSetupObserver& observer, bool runPrograms,
              const std::function<void(const std::u16string&)>& log = {});
    // The folders of the "D|" records that are not marked as existing, in
    // journal order.
    std::vector<std::u16string> Folders() const;
    // After an uninstall's replay: removes, when empty, each folder on the
    // path from every "F|" file up to the installation folder, that folder
    // included. Folders an interrupted earlier run made were never
    // journaled ("D|"), yet they are the product's; a folder that holds
    // anything (the user's files) stays, and so does everything outside
    // the installation folder.
    void RemoveEmptyFileFolders(const std::u16string& appDir) const;

    // The journal file's text: the header line, then every record, each line
    // ended by CR LF.
    std::u16string ToText() const;
    // Empties the journal, then takes the records of a journal text: lines
    // end at CR, LF or CR LF, empty lines are skipped, and of the first line
    // only its "KSETUP-JOURNAL" prefix is checked. False: no header.
    bool ParseText(std::u16string_view text);

    // Writes ToText in UTF-8 beside the path and then moves it over the
    // path, so an old journal survives a failed save. False: LastOsError.
    bool SaveToFile(const std::u16string& path) const;
    // Empties the journal, then reads a journal file (any byte-order mark)
    // through ParseText. False: not readable or no header.
    bool LoadFromFile(const std::u16string& path);

private:
    void Add(std::u16string record, bool existed = false);
    // The record of an item that AddRegListItem put in a list value.
    void AddListItemRecord(uint32_t root, bool view32, const std::u16string& key, const std::u16string& name,
                           const std::u16string& item);
    void Append(std::u16string record);

    std::vector<std::u16string> records_;
    // Every record with its ASCII letters upper-cased, for Contains (a loaded
    // journal may hold a record twice).
    std::unordered_multiset<std::u16string> folded_;
    // Folded records that name what was there before the run; never saved.
    std::unordered_set<std::u16string> existing_;
};

// Field n (1 to 5) of a record whose kind has count fields, tag included:
// the text after the n-th "|", up to the next "|" except for the kind's
// last field, which runs to the end of the line. Empty when the line has
// fewer than n "|".
std::u16string JournalField(const std::u16string& line, int n, int count);

// "32" for the 32-bit registry view, "64" for the 64-bit one.
std::u16string RegViewText(bool view32);

// True when an element of the ";" list, trimmed, names the item; both
// compared without trailing backslashes and without regard to ASCII case.
bool ListContainsItem(const std::u16string& list, const std::u16string& item);
// The list without the elements that name the item and without empty ones;
// the other elements are kept as written.
std::u16string ListRemoveItem(const std::u16string& list, const std::u16string& item);

} // namespace KS
