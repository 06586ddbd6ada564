// Every response class on any answer: the first byte picks the class, the rest is the frame
// of the answer (or, when it is no frame, the JSON text alone). Each class reads the answer or
// refuses it with the program's error.
#include <limits>
#include <memory>

#include "core/repomessage.hpp"
#include "repository/respbase.hpp"
#include "repository/respchanges.hpp"
#include "repository/respdeliveryunits.hpp"
#include "repository/respobjects.hpp"
#include "repository/resppackages.hpp"
#include "tests/fuzz/fuzzing.hpp"

namespace {

template <class T> void read(const RepositoryMessage& theMessage) {
    T aResponse(theMessage);
    (void)aResponse.getErrorCode();
}

using Reader = void (*)(const RepositoryMessage&);
template <class... T> constexpr Reader kReaders[] = {read<T>...};
constexpr auto& kAllReaders = kReaders<
    GetSupportedExportVersionsResponse, GetContentVendorResponse, ListInactiveWorkSpacesResponse,
    ListAllObjectTypesResponse, DeleteInactiveWorkSpaceResponse, GetDBSchemaVersionResponse,
    CreateChangeResponse, GetChangeTrackingStatusResponse, AddContributorResponse,
    DeleteChangeResponse, EditChangeDescriptionResponse, EditContributorCommentResponse,
    MergeChangesResponse, MoveChangeEntriesResponse, ReleaseChangeResponse,
    RemoveContributorResponse, ToggleChangeTrackingResponse, ValidateContributionResponse,
    FindChangesResponse, GetAffectedChangesResponse, ReadChangesResponse, GetDeliveryUnitResponse,
    ListDeliveryUnitsResponse, ExportDeliveryUnitResponse, ImportLanguagesResponse,
    UnDeployDeliveryUnitResponse, CreateDeliveryUnitResponse, DeleteDeliveryUnitResponse,
    UpdateDeliveryUnitResponse, ExportLanguagesResponse, ExistsDeliveryUnitResponse,
    CheckIsDeliveryUnitBrokenResponse, ImportFileResponse, ImportMultipleFilesResponse,
    ActivateObjectsResponse, DeleteObjectResponse, ListObjectsResponse, GetObjectResponse,
    ReadObjectsResponse, WriteObjectResponse, ListHistoryResponse, PullInactiveObjectsResponse,
    RevertObjectsResponse, ExistsObjectResponse, GetNumberOfLatestVersionResponse,
    ReadPackageResponse, CreatePackageResponse, DeletePackageResponse, UpdatePackageResponse,
    ExistsPackageResponse, ListPackagesResponse, ListRootPackagesResponse>;

RepositoryMessage messageOf(const char* theData, std::size_t theSize) {
    try {
        return RepositoryMessage::parse(theData, static_cast<std::int32_t>(theSize));
    } catch (const Error&) {
        return RepositoryMessage(std::make_shared<const std::string>(theData, theSize));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* theData, std::size_t theSize) {
    if (theSize == 0 ||
        theSize > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return 0;
    const Reader aReader = kAllReaders[theData[0] % std::size(kAllReaders)];
    const RepositoryMessage aMessage =
        messageOf(reinterpret_cast<const char*>(theData) + 1, theSize - 1);
    fuzzing::refusedOrRead([&] { aReader(aMessage); });
    return 0;
}
