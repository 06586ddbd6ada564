#include "actions/actiontrack.hpp"

#include "actions/actionscope.hpp"
#include "actions/repositorylistings.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

bool whatIs(std::string_view theWhat) {
    return textcase::equalsIgnoringCase(getValue(params::what), theWhat);
}

// The package arguments as dotted repository names, in argument order: the values of `package`,
// or with WHAT `objects` (checkout and discard of mixed arguments) those values of `object` that
// name package directories; object arguments are left alone.
std::vector<std::string> normalizedPackages() {
    std::vector<std::string> anArguments = parameters().getValues(params::package);
    if (whatIs("objects")) {
        std::vector<std::string> aFiles;
        anArguments.clear();
        actionscope::splitArguments(parameters().getValues(params::object), anArguments, aFiles);
    }
    std::vector<std::string> aPackages;
    for (const auto& anArgument : anArguments)
        aPackages.push_back(workspace::normalizePackage(anArgument));
    return aPackages;
}

// A verbose line on standard output, and always in the trace when tracing.
void report(const std::string& theLine) {
    if (isSet(params::verbose))
        console::out() << theLine << '\n';
    console::traceOnly(theLine + "\n");
}

// A package name that could not become a workspace directory (the settings folder, `..`, an
// unclosed quote) is never written into the configuration: it would fail every later run.
void trackOne(const std::string& thePackage) {
    workspace::packageToDirectory(thePackage);
    const std::vector<std::string> aRemoved = workspace::config().trackPackage(thePackage);
    runstatistics::add(Statistic::trackedPackages);
    runstatistics::add(Statistic::untrackedPackages, static_cast<std::int64_t>(aRemoved.size()));
    report("Tracking package \"" + thePackage + "\".");
    if (aRemoved.empty())
        return;
    std::string aText = "No longer tracking the following sub packages of \"" + thePackage + "\":";
    for (const auto& aPackage : aRemoved)
        aText += "\n\t" + aPackage;
    report(aText);
}

void unTrackOne(const std::string& thePackage) {
    workspace::config().unTrackPackage(thePackage);
    runstatistics::add(Statistic::untrackedPackages);
    report("Untracked package \"" + thePackage + "\".");
}

} // namespace

void actionTrack::checkArguments() const {
    if (isSet(params::noRecursive))
        throw Error("Cannot track non-recursively.");
}

void actionTrack::execute() {
    if (whatIs("package") || whatIs("objects")) {
        for (const auto& aPackage : normalizedPackages())
            trackOne(aPackage);
    } else if (whatIs("allPackages")) {
        // A hostile root package is refused by name; the others are tracked.
        for (const auto& aPackage : repositorylistings::rootPackages()) {
            try {
                trackOne(aPackage);
            } catch (const Error& anError) {
                console::refuse(anError.what());
            }
        }
    }
}

void actionUnTrack::checkArguments() const {
    if (isSet(params::noRecursive))
        throw Error("Cannot un-track non-recursively.");
}

void actionUnTrack::execute() {
    if (whatIs("package") || whatIs("objects")) {
        for (const auto& aPackage : normalizedPackages())
            unTrackOne(aPackage);
    } else if (whatIs("allPackages")) {
        const std::set<std::string> aTracked = workspace::config().trackedPackages();
        for (const auto& aPackage : aTracked)
            unTrackOne(aPackage);
    }
}

} // namespace RepositoryAccess
