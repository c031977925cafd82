// The canvas-backend registry, the chain that chooses a backend (and a
// presenter) at start-up, and the surface presenters.
//
// Every backend and presenter is an entry of one process-wide registry,
// filled by the units' start-up registrations. A chain text ("d2d,gdi",
// "soft+gdi", "auto") names alternatives tried in order; the environment
// variable "ZYL_CANVAS" overrides the program's own. Activation runs the
// first usable item's factory, which installs the process's platform
// services, and makes its presenter current. Main thread only.
//
// No Windows interface here: ReadEnvVar and the GDI copy of a frame have
// their system calls in files of their own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Zyl.Platform.h"

namespace Zyl {

// Entry kinds.
constexpr int32_t CanvasKindBackend = 0;    // makes a TPlatformServices
constexpr int32_t CanvasKindPresenter = 1;  // shows finished frames

// Platform bits of an entry.
constexpr int32_t CanvasPlatformWindows = 1;
constexpr int32_t CanvasPlatformLinux = 2;
constexpr int32_t CanvasPlatformWeb = 4;
// The platform this system is built for. The host build answers as Windows
// too, so that every entry behaves there as it does on the target.
constexpr int32_t CurrentCanvasPlatform = CanvasPlatformWindows;

// The one capability bit with a reader: the backend's surface is an
// accessible 32-bit BGRA bitmap, so a presenter may follow it in an item.
constexpr int32_t CanvasCapsBgraSurface = 0x80;

constexpr int32_t MaxCanvasBackends = 64;
constexpr int32_t MaxCanvasChainItems = 16;

// A parameterless test (nil counts as passing) and a parameterless factory.
using TCanvasBackendTest = bool (*)();
using TCanvasBackendFactory = void (*)();

// One registry entry. Entries keep their slot for the life of the process.
class TCanvasBackendInfo : public System::TObject {
public:
    // Lower-cased, not trimmed: the key.
    std::u16string Name;
    std::u16string Description;
    // Replaces the standard title when not empty; no registration sets it.
    std::u16string DisplayName;
    int32_t Kind = CanvasKindBackend;
    int32_t Platforms = 0;
    int32_t Caps = 0;
    // Higher comes first within a kind.
    int32_t Priority = 0;
    TCanvasBackendTest AvailabilityTest = nullptr;
    // False keeps the entry out of the automatic chain.
    TCanvasBackendTest AutoChoiceTest = nullptr;
    // A backend's installs its services (doing nothing when some are
    // installed already); a presenter's makes the presenter current.
    TCanvasBackendFactory Factory = nullptr;
};

// --- Registry ---------------------------------------------------------------

// Adds an entry, or updates in place (same slot, same DisplayName) the entry
// of that name in any letter case. A 65th name raises Exception and changes
// nothing.
void RegisterCanvasBackend(const std::u16string& Name, const std::u16string& Description, int32_t Kind,
                           int32_t Platforms, int32_t Caps, int32_t Priority, TCanvasBackendTest AvailabilityTest,
                           TCanvasBackendTest AutoChoiceTest, TCanvasBackendFactory Factory);
// The entry whose Name equals the lower-cased argument, or nil.
TRef<TCanvasBackendInfo> FindCanvasBackend(const std::u16string& Name);
int32_t CanvasBackendCount();
// The entry in a slot, 0 .. CanvasBackendCount() - 1.
TRef<TCanvasBackendInfo> CanvasBackendAt(int32_t Index);
// Slots in display order: kind ascending, then priority descending, ties in
// registration order. OnlyUsable keeps the entries of the current platform
// whose availability test passes (tested only for those).
std::vector<int32_t> ListCanvasBackendsSorted(bool OnlyUsable);
// Every entry, one line each, in display order; calls the availability tests.
std::u16string DescribeCanvasBackends();
std::u16string CanvasBackendTitle(const TCanvasBackendInfo& Entry);
std::u16string StandardBackendTitle(const std::u16string& Name);
// "win linux web" for the bits present; empty for none.
std::u16string CanvasPlatformsText(int32_t Platforms);

// --- Chain and choice -------------------------------------------------------

// A parsed chain: backend and presenter names (presenter empty for none), as
// written in the chain after trimming and lower-casing.
struct TCanvasChain {
    std::array<std::u16string, MaxCanvasChainItems> Backends;
    std::array<std::u16string, MaxCanvasChainItems> Presenters;
    int32_t Count = 0;
};

// Accepts Chain as the program's choice or raises Exception with the
// parser's message.
void SetCanvasChoice(const std::u16string& Chain);
// False with Message when the chain is invalid (the choice is unchanged);
// "auto" or an empty text clears the program's choice.
bool TrySetCanvasChoice(const std::u16string& Chain, std::u16string& Message);
// "ZYL_CANVAS" (trimmed) when set, else the program's choice, else "auto".
// Reads the environment at every call.
std::u16string GetCanvasChoice();
std::u16string ReadCanvasEnvChoice();
bool IsAutoCanvasChoice(const std::u16string& Text);
// False with Message at the first invalid item; Parsed then holds the items
// before it.
bool ParseCanvasChain(const std::u16string& Chain, TCanvasChain& Parsed, std::u16string& Message);
// Trimmed and lower-cased, with "gdi" read as "gdi-present".
std::u16string ResolvePresenterAlias(const std::u16string& Name);
// The usable backends that allow automatic choice, joined with ","; may be empty.
std::u16string BuildAutoCanvasChain();
// Checks both entries before any factory runs, then runs the backend's
// factory and, when services now exist, the presenter's.
bool TryActivateCanvasItem(const std::u16string& Backend, const std::u16string& Presenter);
// Activates the first usable item of the choice in force and returns it
// ("soft+gdi" as written). Once services exist, only reports the name.
// Raises Exception when nothing can be activated.
std::u16string ActivateCanvasBackend();
// Empty without services; the activated item; "externo" for services
// installed some other way.
std::u16string ActiveCanvasBackendName();

// The variable's value when it has 1 to 1022 UTF-16 units, else empty.
// Never cached.
std::u16string ReadEnvVar(const std::u16string& Name);

// --- Presenters -------------------------------------------------------------

// What shows a finished frame in a window. The base answers for every
// operation a presenter does not override; the reserved slots keep the
// later operations in their order.
class TSurfacePresenter : public System::TObject {
public:
    virtual std::u16string Name() { return {}; }
    virtual void* Reserved17() { return nullptr; }
    virtual void Reserved18() {}
    virtual void* Reserved19() { return nullptr; }
    virtual bool Reserved20() { return true; }
    virtual bool UsesGdi() { return false; }
    virtual void* Reserved22() { return nullptr; }
    virtual std::u16string LastErrorText() { return {}; }
};

// The Windows shell's own presentation: SetDIBitsToDevice.
class TGdiPresenter : public TSurfacePresenter {
public:
    std::u16string Name() override { return u"gdi-present"; }
    bool UsesGdi() override { return true; }
};

// A presentation that the platform's shell performs itself ("x11", "wayland").
class TShellNamedPresenter : public TSurfacePresenter {
public:
    explicit TShellNamedPresenter(std::u16string Name) : name_(std::move(Name)) {}
    std::u16string Name() override { return name_; }

private:
    std::u16string name_;
};

// Registers "gdi-present", "x11" and "wayland", in this order; first among
// the canvas registrations of start-up.
void RegisterCanvasPresenters();
// Always true.
bool GdiPresenterAvailable();
// Make their presenter current; each kind has one instance, made on the
// first call and kept.
void CreateGdiPresenter();
void CreateX11Presenter();
void CreateWaylandPresenter();
// The presenter made current by the last presenter factory, or nil.
TRef<TSurfacePresenter> GetCurrentPresenter();
// "ZYL_PRESENT_NOGDI", trimmed, is exactly "1".
bool PresentNoGdiRequested();
// DISPLAY, respectively WAYLAND_DISPLAY, has a value (not trimmed).
bool HasX11Display();
bool HasWaylandDisplay();

// The arguments of the SetDIBitsToDevice call that copies a rectangle of a
// surface to the same place of a device: the device describes the surface
// from row DestTop down, HeaderWidth (Stride / 4) pixels wide, and SourceX
// picks the first column.
struct TGdiBlitPlan {
    int32_t DestLeft = 0;
    int32_t DestTop = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t SourceX = 0;
    int32_t HeaderWidth = 0;
    const uint8_t* Pixels = nullptr;
};
// False when nothing is to be copied: no surface, no pixels, GDI refused
// under "ZYL_PRESENT_NOGDI" while a presenter is current, or a rectangle
// (right and bottom exclusive) empty once cut to the surface.
bool PlanGdiBlit(TPlatformSurface* Surface, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                 TGdiBlitPlan& Plan);
// Copies the rectangle of Surface (nil allowed) to the device context DC
// (an HDC) at the same coordinates, pixels as they are. Windows only.
void BlitSurfaceWithGdi(void* DC, TPlatformSurface* Surface, int32_t Left, int32_t Top, int32_t Right,
                        int32_t Bottom);

} // namespace Zyl
