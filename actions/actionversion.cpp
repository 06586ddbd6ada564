#include "actions/actionversion.hpp"

#include <ostream>
#include <string>

#include "core/console.hpp"
#include "core/parameters.hpp"
#include "core/version.hpp"

namespace RepositoryAccess {

void actionVersion::execute() {
    bool aClientFormat = isSet(params::clientFormat);
    Version aVersion = version::parseVersion(aClientFormat ? version::clientFormatVersion()
                                                           : version::programVersion());
    bool aPlain = isSet(params::plain);
    bool aMajor = isSet(params::major);
    bool aMinor = isSet(params::minor);
    bool aMicro = isSet(params::micro);
    if (aPlain)
        console::sayLine(version::formatVersion(aVersion));
    if (aMajor)
        console::sayLine(std::to_string(aVersion.itsMajor));
    if (aMinor)
        console::sayLine(std::to_string(aVersion.itsMinor));
    if (aMicro)
        console::sayLine(std::to_string(aVersion.itsMicro));
    if (!aPlain && !aMajor && !aMinor && !aMicro) {
        console::say(version::formatVersion(aVersion));
        if (!aClientFormat)
            console::say(" Opt");
        console::say("\n");
    }
    console::out().flush();
}

} // namespace RepositoryAccess
