#include "KS.Online.h"

#include "KS.Digest.h"
#include "KS.Online.Check.h"
#include "KS.Sys.Files.h"
#include "System.Compress.Zlib.h"
#include "System.Remainder.Exceptions.h"

namespace KS {

using System::TBytes;
using System::TRef;

namespace {

constexpr int64_t kInflateLimit = 536870912;

// The "url" of every element of the object's "sources", in order.
TStringArray SourceTemplates(const TJValue& catalog) {
    TStringArray templates;
    if (const TJValue* sources = catalog.Find(u"sources"))
        for (int32_t i = 0; i < sources->Count; ++i) templates.push_back(sources->Item(i)->GetStr(u"url"));
    return templates;
}

std::u16string TextOf(const TBytes& bytes) {
    return DecodeUtf8(bytes.data(), ptrdiff_t(bytes.size()));
}

std::u16string NotPlainName(const std::u16string& catalog, const std::u16string& name) {
    return catalog + u" inválido: \"" + PrintableText(name) + u"\" não é um nome de arquivo simples";
}

TRef<TCatalog> BuildCatalog(const std::u16string& descriptorName, const TJValue& entry, const TJValue& document) {
    TRef<TCatalog> catalog = new TCatalog;
    const size_t dot = descriptorName.find(u'.');
    if (dot != std::u16string::npos) catalog->Name = descriptorName.substr(0, dot);
    catalog->OutRoot = ExpandEnvText(entry.GetStr(u"outpath"));
    catalog->Sources = SourceTemplates(document);
    if (const TJValue* files = document.Find(u"files")) {
        catalog->Files.reserve(size_t(files->Count));
        for (int32_t i = 0; i < files->Count; ++i) {
            const TJValue& file = *files->Item(i);
            catalog->Files.push_back({file.GetStr(u"name"), file.GetStr(u"hash.sha256"), file.GetStr(u"zhash.sha256"),
                                      file.GetInt(u"size", 0), file.GetInt(u"zsize", 0)});
        }
    }
    return catalog;
}

} // namespace

bool TOnlineProvider::LoadCatalogs() {
    Catalogs.clear();
    Offline = false;
    // A cancel answered during an earlier load must not fail this one.
    Cancelled = false;
    const TStringArray topTemplates{UrlTemplate};
    TRef<TJValue> index;
    if (!FetchCatalog(u"All.Inf.hash", topTemplates, 0, u"", index)) return false;

    TStringArray childTemplates = SourceTemplates(*index);
    if (childTemplates.empty()) childTemplates = topTemplates;
    const TJValue* files = index->Find(u"files");
    if (!files) {
        lastError_ = u"All.Inf.json sem a lista \"files\"";
        return false;
    }
    for (int32_t i = 0; i < files->Count; ++i) {
        const TJValue& entry = *files->Item(i);
        const std::u16string name = entry.GetStr(u"name");
        if (name.empty()) continue;
        if (!IsPlainFileName(name)) {
            lastError_ = NotPlainName(u"All.Inf.json", name);
            return false;
        }
        TRef<TJValue> document;
        if (!FetchCatalog(name, childTemplates, entry.GetInt(u"size", 0), entry.GetStr(u"hash.sha256"), document))
            return false;
        Catalogs.push_back(BuildCatalog(name, entry, *document));
    }
    return true;
}

bool TOnlineProvider::FetchCatalog(const std::u16string& descriptorName, const TStringArray& templates,
                                   int64_t expectedSize, const std::u16string& expectedHash,
                                   TRef<TJValue>& document) {
    const std::u16string& d = descriptorName;
    document = nullptr;
    Observer->Status(u"Verificando o catálogo " + d + u"...");
    const std::u16string descriptorPath = CombinePath(CacheDir, d);

    TBytes descriptor;
    const bool downloaded = Fetch(templates, d, descriptor);
    if (downloaded) {
        if (!expectedHash.empty() &&
            (int64_t(descriptor.size()) != expectedSize || Sha256BytesBase64(descriptor) != expectedHash))
            Observer->Status(u"aviso: " + d + u" difere do que o catálogo pai descreve (atualizado depois?)");
    } else if (Observer->Cancelled()) {
        lastError_ = u"Instalação cancelada.";
        return false;
    } else if (ReadFileBytes(descriptorPath, descriptor) && !descriptor.empty()) {
        Offline = true;
    } else {
        lastError_ = u"não consegui baixar " + d + u" (" + lastError_ +
                     u") e não há cópia no cache. Verifique a conexão com a internet.";
        return false;
    }
    // A downloaded descriptor is cached only together with the document it
    // vouches for, so that a bad download never breaks the next offline run.
    const auto keepDescriptor = [&] {
        if (downloaded) WriteFileBytes(descriptorPath, descriptor.data(), int64_t(descriptor.size()));
    };

    TRef<TJValue> fields;
    std::u16string parseError;
    if (!ParseJson(TextOf(descriptor), fields, parseError)) {
        lastError_ = d + u" inválido: " + parseError;
        return false;
    }
    const std::u16string n = fields->GetStr(u"name");
    const int64_t size = fields->GetInt(u"size", -1);
    const std::u16string hash = fields->GetStr(u"hash.sha256");
    const int64_t zsize = fields->GetInt(u"zsize", -1);
    const std::u16string zhash = fields->GetStr(u"zhash.sha256");
    if (n.empty() || hash.empty()) {
        lastError_ = d + u" incompleto";
        return false;
    }
    if (!IsPlainFileName(n)) {
        lastError_ = NotPlainName(d, n);
        return false;
    }

    const std::u16string documentPath = CombinePath(CacheDir, n);
    // The cache belongs to the user, also in an elevated run: the bytes that
    // pass the check are the ones parsed, read once, never the file again.
    TBytes cached;
    if (GetFileSizeByPath(documentPath) == size && ReadFileBytes(documentPath, cached) &&
        int64_t(cached.size()) == size && Sha256BytesBase64(cached) == hash &&
        ParseJson(DecodeTextBytes(cached), document, parseError)) {
        keepDescriptor();
        return true;
    }
    if (Offline) {
        lastError_ = u"sem conexão e o catálogo " + n + u" não está no cache.";
        return false;
    }

    const std::u16string w = d.size() > 5 ? d.substr(0, d.size() - 5) : std::u16string();
    Observer->Status(u"Baixando o catálogo " + w + u"...");
    const std::u16string corrupt = w + u" veio corrompido (tamanho ou SHA-256 não conferem).";
    // A descriptor without a size can never be met; nothing is fetched for it.
    if (zsize < 0) {
        lastError_ = corrupt;
        return false;
    }
    TBytes packed;
    if (!Fetch(templates, w, packed, zsize)) {
        lastError_ = u"não consegui baixar " + w + u": " + lastError_;
        return false;
    }
    if (int64_t(packed.size()) != zsize || Sha256BytesBase64(packed) != zhash) {
        lastError_ = corrupt;
        return false;
    }
    TBytes inflated;
    try {
        inflated = System::InflateBytes(packed, 15, kInflateLimit);
    } catch (const System::Exception& e) {
        lastError_ = u"não consegui descompactar " + w + u": " + e.Message;
        return false;
    }
    if (int64_t(inflated.size()) != size || Sha256BytesBase64(inflated) != hash) {
        lastError_ = n + u" descompactado não confere com o SHA-256 esperado.";
        return false;
    }
    WriteFileBytes(documentPath, inflated.data(), int64_t(inflated.size()));
    keepDescriptor();
    if (!ParseJson(TextOf(inflated), document, parseError)) {
        lastError_ = n + u" inválido: " + parseError;
        return false;
    }
    return true;
}

bool TOnlineProvider::Fetch(const TStringArray& templates, const std::u16string& name, TBytes& bytes,
                            int64_t maxBody) {
    std::u16string error;
    const bool ok = GetWithMirrors(*Http, templates, name, bytes, error, {FetchProgress, this}, maxBody);
    if (!ok) lastError_ = error;
    if (Observer->Cancelled()) Cancelled = true;
    return ok;
}

} // namespace KS
