#include "PelmintBinding.h"

// Qt
#include <QDir>
#include <QFileInfo>

// Ours
#include "RuntimeError.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

void* openLibrary(const QString& path) {
#ifdef _WIN32
    return reinterpret_cast<void*>(
        LoadLibraryW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16())));
#else
    return dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void closeLibrary(void* library) {
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
}

void* findSymbol(void* library, const QString& name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(
        GetProcAddress(static_cast<HMODULE>(library), name.toLatin1().constData()));
#else
    return dlsym(library, name.toLatin1().constData());
#endif
}

} // namespace

PelmintBinding::PelmintBinding(QString programFolder, QString baseName, QString exportName)
    : programFolder_(std::move(programFolder)), baseName_(std::move(baseName)),
      exportName_(std::move(exportName)) {}

QString PelmintBinding::fileNameFor(const QString& baseName) {
#ifdef _WIN32
    return baseName + QStringLiteral(".dll");
#elif defined(__APPLE__)
    return QStringLiteral("lib") + baseName + QStringLiteral(".dylib");
#else
    // The runtime name with the soname's major version: the development link is not needed.
    return QStringLiteral("lib") + baseName + QStringLiteral(".so.1");
#endif
}

void* PelmintBinding::load() {
    const QString fileName = fileNameFor(baseName_);
    const QString besideProgram = QDir(programFolder_).filePath(fileName);

    QString from = besideProgram;
    const bool presentBesideProgram = QFileInfo::exists(besideProgram);
    void* library = presentBesideProgram ? openLibrary(besideProgram) : nullptr;
    if (library == nullptr) {
        from = fileName;
        library = openLibrary(fileName);
    }
    if (library == nullptr) {
        // As the desktop runtime words it: a file that is there but will not load is told
        // apart from one that is nowhere to be found.
        if (presentBesideProgram) {
            throw RuntimeError(RuntimeError::DllLoadError, QStringLiteral("Error in loading DLL"));
        }
        throw RuntimeError(RuntimeError::FileNotFound,
                           QStringLiteral("File not found: %1").arg(baseName_));
    }
    loadedFrom_ = from;
    return library;
}

void* PelmintBinding::resolve(const QString& exportName) {
    const bool wasOpen = library_ != nullptr;
    void* library = wasOpen ? library_ : load();
    void* symbol = findSymbol(library, exportName);
    if (symbol == nullptr) {
        // Not kept: the next call opens it afresh, so nothing piles up across retries.
        if (!wasOpen) {
            loadedFrom_.clear();
            closeLibrary(library);
        }
        throw RuntimeError(
            RuntimeError::DllEntryPointNotFound,
            QStringLiteral("Can't find DLL entry point %1 in %2").arg(exportName, baseName_));
    }
    library_ = library;
    return symbol;
}

double PelmintBinding::CircleAreaAverage(const std::uint8_t* pixels, std::int32_t width,
                                         std::int32_t height, std::int32_t bitsPerPixel,
                                         std::int32_t centreX, std::int32_t centreY,
                                         std::int32_t radius) {
    if (function_ == nullptr) {
        function_ = reinterpret_cast<CircleAreaAverageFn>(resolve(exportName_));
    }
    return function_(pixels, width, height, bitsPerPixel, centreX, centreY, radius);
}

std::int32_t PelmintBinding::CircleAreaStatistics(const std::uint8_t* pixels, std::int32_t width,
                                                  std::int32_t height, std::ptrdiff_t stride,
                                                  std::int32_t centreX, std::int32_t centreY,
                                                  std::int32_t radius, PelmintStatistics* out) {
    if (statistics_ == nullptr) {
        statistics_ = reinterpret_cast<CircleAreaStatisticsFn>(
            resolve(QStringLiteral("CircleAreaStatistics")));
    }
    return statistics_(pixels, width, height, stride, centreX, centreY, radius, out);
}

int PelmintBinding::version() {
    if (library_ == nullptr) {
        try {
            library_ = load();
        } catch (const RuntimeError&) {
            return 0;
        }
    }
    // Libraries from before the version export have none.
    const auto function =
        reinterpret_cast<PelmintVersionFn>(findSymbol(library_, QStringLiteral("PelmintVersion")));
    return function == nullptr ? 0 : function();
}
