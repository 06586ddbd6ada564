#include "workspace/workspace.hpp"

#include <system_error>

#include <cstdlib>
#include <functional>
#include <set>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/objectnames.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "core/utils.hpp"
#include "core/version.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

// The TLS options of the command that creates a workspace, kept in its configuration so that
// later runs connect the same way; files are kept by their absolute paths, since runs start in
// any folder. The key store's password is not kept.
void keepTlsSettings(WorkSpaceConfigFile& theConfig) {
    const std::pair<const Parameter*, bool> aSettings[] = {
        {&params::sslEncrypt, false},
        {&params::sslCryptoProvider, false},
        {&params::sslKeyStore, true},
        {&params::sslTrustStore, true},
        {&params::sslValidateCertificate, false}};
    for (const auto& [apParameter, anIsFile] : aSettings) {
        std::string aValue = getValue(*apParameter);
        if (anIsFile && !aValue.empty() && !sys::isAbsolutePath(aValue))
            aValue = sys::normalizeDirName(sys::getCurrentDir()) + aValue;
        theConfig.setTlsSetting(apParameter->name(), std::move(aValue));
    }
}

std::string environmentValue(const char* theName) {
    const char* aValue = std::getenv(theName);
    return aValue ? aValue : "";
}

// With `debugPaths`: "<function> <step> (<what>): <value>" on standard output.
void debugStep(std::string_view theFunction, int theStep, std::string_view theWhat,
               std::string_view theValue) {
    if (!isSet(params::debugPaths))
        return;
    console::sayLine(std::string(theFunction) + " " + std::to_string(theStep) + " (" +
                     std::string(theWhat) + "): " + std::string(theValue));
}

// With `debugPaths`: "<function> (<step>): <value>" on standard output.
void debugLine(std::string_view theFunction, int theStep, std::string_view theValue) {
    if (!isSet(params::debugPaths))
        return;
    console::sayLine(std::string(theFunction) + " (" + std::to_string(theStep) +
                     "): " + std::string(theValue));
}

std::string withoutTrailingSlashes(std::string thePath) {
    while (thePath.size() > 1 && thePath.back() == '/')
        thePath.pop_back();
    return thePath;
}

std::string quoted(std::string_view theText) {
    return "\"" + std::string(theText) + "\"";
}

} // namespace

// ---- Finding the workspace ----

std::string workspace::determineRootDirName(std::string_view theCurrentDir) {
    const std::string aCurrent = withoutTrailingSlashes(sys::toSlashes(theCurrentDir));
    debugLine("determineRootDirName", 1, aCurrent);
    if (aCurrent.empty() || !sys::dirExists(aCurrent))
        return {};
    // Every prefix that ends before a `/`, and the directory itself; the set's byte order puts
    // each ancestor before its descendants, so the outermost workspace is found first.
    std::set<std::string> anAncestors{aCurrent};
    for (std::size_t aSlash = aCurrent.find('/', 1); aSlash != std::string::npos;
         aSlash = aCurrent.find('/', aSlash + 1))
        anAncestors.insert(aCurrent.substr(0, aSlash));
    for (const auto& anAncestor : anAncestors) {
        debugLine("determineRootDirName", 2, anAncestor);
        const std::string aSettings =
            sys::joinFileName(anAncestor, WorkSpace::settingsFolderName());
        debugLine("determineRootDirName", 3, aSettings);
        if (sys::dirExists(aSettings)) {
            std::string aRoot = sys::getParentDir(anAncestor);
            debugLine("determineRootDirName", 4, aRoot);
            return aRoot;
        }
    }
    debugLine("determineRootDirName", 4, "");
    return {};
}

std::string workspace::determineWorkSpaceName(std::string_view theRootDirName,
                                              std::string_view theCurrentDir) {
    const std::string aRoot = withoutTrailingSlashes(sys::toSlashes(theRootDirName));
    const std::string aCurrent = sys::toSlashes(theCurrentDir);
    debugLine("determineWorkSpaceName", 1, aRoot);
    debugLine("determineWorkSpaceName", 2, aCurrent);
    // The current directory must be <root>/<name> or lie below it. Compared as text, so that
    // characters with a meaning in patterns cannot disturb the test.
    const std::string aPrefix = aRoot == "/" ? aRoot : aRoot + "/";
    if (aRoot.empty() || aCurrent.compare(0, aPrefix.size(), aPrefix) != 0) {
        debugLine("determineWorkSpaceName", 3, "no match");
        return {};
    }
    const std::string aRest = aCurrent.substr(aPrefix.size());
    const std::string aName = aRest.substr(0, aRest.find('/'));
    debugLine("determineWorkSpaceName", 4, aRest);
    debugLine("determineWorkSpaceName", 5, aName);
    return aName;
}

// ---- Opening and creating ----

void WorkSpace::buildNames() {
    itsSrcDirName = sys::joinFileName(itsRootDirName, itsWorkSpaceName);
    itsSettingsDirName = sys::joinFileName(itsSrcDirName, settingsFolderName());
    itsMetaDataDirName = sys::joinFileName(itsSettingsDirName, "SYS");
    itsDiffDirName = sys::joinFileName(itsSettingsDirName, "diff");
    itsBaseDirName = sys::joinFileName(itsSettingsDirName, "base");
    itsLogsDirName = sys::joinFileName(itsSettingsDirName, "logs");
    itsConfigFileName = sys::joinFileName(itsSettingsDirName, ".kivoConfig");
    itsStatusFileName = sys::joinFileName(itsSettingsDirName, ".kivoStatus");
}

std::string WorkSpace::lockFileName() const {
    return sys::joinFileName(itsSettingsDirName, ".lock");
}

void WorkSpace::open(bool theLock, bool theStatusInBackground) {
    const std::string aCurrent = sys::getCurrentDir();
    const std::string anEnvRoot = environmentValue("KIVO_ROOT");
    itsRootDirName = anEnvRoot.empty() ? workspace::determineRootDirName(aCurrent)
                                       : withoutTrailingSlashes(sys::toSlashes(anEnvRoot));
    itsWorkSpaceName = getValue(params::workSpace);
    if (itsWorkSpaceName.empty() && !itsRootDirName.empty())
        itsWorkSpaceName = workspace::determineWorkSpaceName(itsRootDirName, aCurrent);
    if (itsRootDirName.empty() || itsWorkSpaceName.empty()) {
        itsWorkSpaceName.clear();
        return;
    }
    buildNames();
    // A workspace that fails these checks is not open: the end of the run leaves it alone.
    if (!sys::dirExists(itsSrcDirName)) {
        itsWorkSpaceName.clear();
        throw Error("Invalid kivo workspace:\nThe workspace directory " + quoted(itsSrcDirName) +
                    " does not exist.");
    }
    if (!sys::dirExists(itsSettingsDirName)) {
        itsWorkSpaceName.clear();
        throw Error("Invalid kivo workspace:\nThe settings directory " +
                    quoted(itsSettingsDirName) + " does not exist.");
    }
    sys::createDirectory(itsDiffDirName);
    sys::createDirectory(itsBaseDirName);
    sys::createDirectory(itsLogsDirName);
    itsLeftoverJournal = itsJournalOnDisk = sys::fileExists(journal::fileName(itsSettingsDirName));
    if (theLock)
        lock();
    itsWorkSpaceConfigFile = WorkSpaceConfigFile::load(itsConfigFileName);
    if (theStatusInBackground) {
        try {
            itsPendingStatus = std::async(std::launch::async, &WorkSpaceStatusFile::loadOwnLayout,
                                          itsStatusFileName, itsSrcDirName);
            return;
        } catch (const std::system_error&) {
            // No thread to be had: read it here and now.
        }
    }
    itsWorkSpaceStatusFile = WorkSpaceStatusFile::load(itsStatusFileName, itsSrcDirName);
    if (theLock)
        afterLock();
}

void WorkSpace::create() {
    std::string aDir = getValue(params::workSpace);
    if (aDir.empty() && environmentValue("KIVO_ADVANCED") == "yes")
        aDir = ".";
    if (aDir.empty())
        throw Error("Workspace directory not specified. Use \".\" for the current directory.");
    const std::string anEnvRoot = environmentValue("KIVO_ROOT");
    if (!anEnvRoot.empty())
        aDir = sys::joinFileName(anEnvRoot, aDir);
    const std::string aFull = withoutTrailingSlashes(sys::getRealPath(aDir));
    itsRootDirName = sys::getParentDir(aFull);
    itsWorkSpaceName = aFull.find('/') == std::string::npos ? "" : sys::getFilePart(aFull);
    if (itsRootDirName.empty()) {
        itsWorkSpaceName.clear();
        throw Error("Could not determine workspace root directory.");
    }
    if (itsWorkSpaceName.empty())
        throw Error("Could not determine workspace name.");
    buildNames();
    if (sys::dirExists(itsSettingsDirName)) {
        // Someone else's workspace: this run neither removes it nor writes its logs into it.
        itsBeingCreated = false;
        itsWorkSpaceName.clear();
        throw Error("Workspace already exists (the settings folder " + quoted(itsSettingsDirName) +
                    " already exists).");
    }
    itsBeingCreated = true;
    sys::createDirectories(itsSrcDirName);
    if (!sys::createDirectory(itsSrcDirName))
        itsExistedBefore = sys::dirExists(itsSrcDirName);
    for (const auto* aDirName : {&itsSettingsDirName, &itsMetaDataDirName, &itsDiffDirName,
                                 &itsBaseDirName, &itsLogsDirName})
        sys::createDirectory(*aDirName);
    // A key names host, user and password; without one the options name them and the database.
    const std::string aKey = getValue(params::key);
    const auto aWithoutKey = [&aKey](const Parameter& theParameter) {
        return aKey.empty() ? getValue(theParameter) : std::string();
    };
    itsWorkSpaceConfigFile = std::make_shared<WorkSpaceConfigFile>(
        itsConfigFileName, itsWorkSpaceName, aKey, aWithoutKey(params::hostName),
        aWithoutKey(params::userName), aWithoutKey(params::database),
        version::clientFormatVersion());
    keepTlsSettings(*itsWorkSpaceConfigFile);
    itsWorkSpaceConfigFile->write();
    itsWorkSpaceStatusFile =
        std::make_shared<WorkSpaceStatusFile>(itsStatusFileName, itsWorkSpaceName, itsSrcDirName);
    itsWorkSpaceStatusFile->write();
}

// ---- Lock ----

void WorkSpace::lock() {
    if (isSet(params::ignoreLockFile) || !isOpen())
        return;
    const auto anIdentity = sys::processIdentity();
    const std::string aLockFile = lockFileName();
    // The lock is created exclusively; a process that loses the race reads the winner's identity.
    // A lock that vanishes between the two steps is tried once more.
    for (int anAttempt = 1;; ++anAttempt) {
        if (sys::fileExists(aLockFile)) {
            std::string aContent;
            try {
                aContent = *sys::readFile(aLockFile);
            } catch (const Error&) {
                if (anAttempt < 3 && !sys::fileExists(aLockFile))
                    continue;
                throw;
            }
            if (aContent == *anIdentity) {
                itsLocked = true;
                return;
            }
            throw Error(lockedMessage(aContent));
        }
        if (!sys::dirExists(itsSettingsDirName))
            return;
        if (sys::createExclusive(aLockFile, *anIdentity)) {
            itsLocked = true;
            return;
        }
    }
}

void WorkSpace::unlock() {
    if (isSet(params::ignoreLockFile) || !isOpen())
        return;
    const std::string aLockFile = lockFileName();
    if (sys::fileExists(aLockFile) && *sys::readFile(aLockFile) == *sys::processIdentity())
        sys::deleteFile(aLockFile);
}

// ---- End of the run ----

namespace {

// Runs one step of the workspace exit; a failure is reported and the next step still runs.
void exitStep(const std::function<void()>& theStep) {
    try {
        theStep();
    } catch (const Error& anError) {
        console::err() << "Error exiting workspace: " << anError.what() << '\n' << std::flush;
        exitstatus::fail();
    } catch (const std::exception& anError) {
        console::err() << "Error exiting workspace: " << anError.what() << '\n' << std::flush;
        exitstatus::fail();
    }
}

} // namespace

void WorkSpace::exit() {
    if (!isOpen() || itsFinished)
        return;
    itsFinished = true;
    // Settings files and logs first, the lock last: no other process may take the lock while a
    // settings file is still about to be replaced.
    exitStep([this] {
        if (itsWorkSpaceConfigFile && itsWorkSpaceConfigFile->isModified())
            itsWorkSpaceConfigFile->write();
    });
    bool aWritten = false;
    exitStep([this, &aWritten] {
        // Files written ahead go to disk while the rest are written: the sync before the status
        // file then waits for fewer of them.
        if (itsMetaFiles.wroteAhead())
            sys::startEarlySync(itsSettingsDirName);
        itsMetaFiles.flush();
        awaitStatus();
        if (itsWorkSpaceStatusFile && itsWorkSpaceStatusFile->isModified())
            itsWorkSpaceStatusFile->write();
        // Settings files of a run that left the status file as it was still get their one sync.
        sys::syncPendingWrites(itsSettingsDirName);
        aWritten = true;
    });
    // The journal goes only when what it announced is done and recorded.
    exitStep([this, aWritten] {
        if (aWritten && itsJournalOnDisk && itsJournalSettled && !itsLeftoverJournal &&
            !isSet(params::simulate))
            sys::deleteFile(journal::fileName(itsSettingsDirName));
    });
    exitStep([this] {
        if (isSet(params::noCommandLog))
            return;
        console::commandLog() << '\n';
        sys::writeFile(logFileName("commands", "log"), console::commandLogText(), true);
    });
    exitStep([this] {
        if (!isSet(params::trace))
            return;
        console::trace() << '\n';
        sys::writeFile(logFileName("commands", "trace"), console::traceText(), true);
    });
    exitStep([this] { unlock(); });
}

void WorkSpace::remove() {
    if (!isOpen() || itsFinished)
        return;
    itsFinished = true;
    exitStep([this] { unlock(); });
    exitStep([this] {
        sys::deleteFile(itsConfigFileName);
        sys::deleteFile(itsStatusFileName);
    });
    // A directory that holds files by now (someone else's, or written meanwhile) stays.
    auto aDeleteIfEmpty = [](const std::string& theDirName) {
        if (sys::dirExists(theDirName)) {
            const auto aListing = sys::listDir(theDirName);
            if (aListing.itsFiles.empty() && aListing.itsDirs.empty())
                sys::deleteDirectory(theDirName);
        }
    };
    for (const auto* aDirName : {&itsMetaDataDirName, &itsDiffDirName, &itsBaseDirName,
                                 &itsLogsDirName, &itsSettingsDirName})
        exitStep([&] { aDeleteIfEmpty(*aDirName); });
    if (!itsExistedBefore)
        exitStep([&] { aDeleteIfEmpty(itsSrcDirName); });
}

// ---- Accessors ----

WorkSpaceConfigFile& WorkSpace::config() const {
    if (!itsWorkSpaceConfigFile)
        throw Error("Failed to open workspace config file.");
    return *itsWorkSpaceConfigFile;
}

void WorkSpace::awaitStatus() const {
    if (!itsPendingStatus.valid())
        return;
    // A failure of the helper (a missing file, say) is raised here, where the status is needed;
    // a file of another layout is read by the general reader.
    itsWorkSpaceStatusFile = itsPendingStatus.get();
    if (!itsWorkSpaceStatusFile)
        itsWorkSpaceStatusFile = WorkSpaceStatusFile::load(itsStatusFileName, itsSrcDirName);
}

WorkSpaceStatusFile& WorkSpace::status() const {
    awaitStatus();
    if (!itsWorkSpaceStatusFile)
        throw Error("Failed to open workspace status file.");
    return *itsWorkSpaceStatusFile;
}

std::shared_ptr<const WorkSpaceStatusFile> WorkSpace::sharedStatus() const {
    status();
    return itsWorkSpaceStatusFile;
}

std::string WorkSpace::relativeFileName(std::string_view theAbsoluteFileName) const {
    return sys::absoluteToRelativeFileName(theAbsoluteFileName, itsSrcDirName);
}

std::string WorkSpace::logFileName(std::string_view theBaseName, std::string_view theSuffix) const {
    const std::string aDir = isOpen() ? itsLogsDirName : sys::getTempDir();
    return sys::joinFileName(aDir, std::string(theBaseName) + "." + std::string(theSuffix));
}

// ---- The process-wide handle ----

namespace {

std::shared_ptr<WorkSpace>& handle() {
    static std::shared_ptr<WorkSpace> theWorkSpace;
    return theWorkSpace;
}

bool& openCalled() {
    static bool theOpenCalled = false;
    return theOpenCalled;
}

} // namespace

std::shared_ptr<WorkSpace> workspace::get() {
    if (!handle())
        handle() = std::make_shared<WorkSpace>();
    return handle();
}

bool workspace::open(bool theLock, bool theStatusInBackground) {
    auto aWorkSpace = get();
    if (!openCalled()) {
        openCalled() = true;
        aWorkSpace->open(theLock, theStatusInBackground);
    } else if (theLock) {
        aWorkSpace->lock();
        aWorkSpace->afterLock();
    }
    return aWorkSpace->isOpen();
}

bool workspace::isOpen() {
    return handle() && handle()->isOpen();
}

void workspace::create() {
    openCalled() = true;
    get()->create();
}

void workspace::lock() {
    if (!handle())
        return;
    handle()->lock();
    handle()->afterLock();
}

void workspace::unlock() {
    if (handle())
        handle()->unlock();
}

void workspace::finish(bool theAfterFailure) {
    if (!isOpen())
        return;
    if (theAfterFailure && handle()->isBeingCreated())
        handle()->remove();
    else
        handle()->exit();
}

WorkSpaceConfigFile& workspace::config() {
    if (!handle())
        throw Error("Failed to open workspace config file.");
    return handle()->config();
}

void workspace::reset() {
    handle().reset();
    openCalled() = false;
}

// ---- Package names ----

std::string workspace::packageToDirectory(std::string_view thePackage) {
    objectnames::PackageDirectory aDirectory = objectnames::packageDirectory(thePackage);
    if (!aDirectory.itsProblem.empty())
        throw Error(aDirectory.itsProblem);
    return std::move(aDirectory.itsDirectory);
}

std::string workspace::normalizePackage(std::string_view theArgument) {
    constexpr std::string_view aName = "normalizePackage";
    const std::string anArgument = sys::toSlashes(theArgument);
    debugStep(aName, 1, "theArgument", anArgument);
    const std::string aWhat = getValue(params::what);
    const std::string aPackageValue = getValue(params::package);
    if ((textcase::equalsIgnoringCase(aWhat, "object") ||
         textcase::equalsIgnoringCase(aWhat, "objects") ||
         textcase::equalsIgnoringCase(aWhat, "history")) &&
        !aPackageValue.empty()) {
        debugStep(aName, 2, "package parameter", aPackageValue);
        return aPackageValue;
    }
    std::string aResult;
    if (!anArgument.empty() && anArgument.find('/') == std::string::npos) {
        aResult = anArgument;
        debugStep(aName, 3, "dotted package", aResult);
    } else {
        const bool anAbsolute = sys::isAbsolutePath(anArgument);
        if (!isOpen()) {
            if (anAbsolute)
                throw Error("Not in a workspace. Cannot resolve absolute file system path: " +
                            quoted(anArgument));
            debugStep(aName, 4, "no workspace", "");
            return {};
        }
        // Both forms are resolved, so that no `..` survives into the package name.
        const std::string aFull = sys::resolvePath(
            anAbsolute ? anArgument : sys::joinFileName(sys::getCurrentDir(), anArgument));
        debugStep(aName, 5, "resolved directory", aFull);
        const std::string aRelative = sys::absoluteToRelativeDirName(aFull, handle()->srcDirName());
        debugStep(aName, 6, "relative directory", aRelative);
        if (aRelative.starts_with("../") || aRelative == ".." || sys::isAbsolutePath(aRelative))
            throw Error("Failed to normalize package: " + quoted(anArgument));
        for (const auto& aPart : utils::splitAll(aRelative, '/')) {
            if (aPart.empty())
                continue;
            if (!aResult.empty())
                aResult += '.';
            aResult += aPart.find('.') == std::string::npos ? aPart : quoted(aPart);
            debugStep(aName, 7, "package so far", aResult);
        }
    }
    if (aResult.starts_with('.'))
        aResult = quoted(aResult);
    debugStep(aName, 8, "result", aResult);
    return aResult;
}

std::string workspace::packageOfFile(std::string_view theFileName) {
    std::string aDir = sys::getDirPart(sys::toSlashes(theFileName));
    if (aDir.empty())
        aDir = ".";
    if (!aDir.ends_with('/'))
        aDir += '/';
    return normalizePackage(aDir);
}

} // namespace RepositoryAccess
