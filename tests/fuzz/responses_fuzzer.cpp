// Every response class on any answer: the first byte picks the class, the rest is the frame
// of the answer (or, when it is no frame, the JSON text alone). Each class reads the answer or
// refuses it with the program's error.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "core/error.hpp"
#include "core/repomessage.hpp"
#include "repository/respbase.hpp"
#include "repository/respchanges.hpp"
#include "repository/respdeliveryunits.hpp"
#include "repository/respobjects.hpp"
#include "repository/resppackages.hpp"

using namespace RepositoryAccess;

namespace {

template <class T> void read(const RepositoryMessage& theMessage) {
    T aResponse(theMessage);
    (void)aResponse.getErrorCode();
}

using Reader = void (*)(const RepositoryMessage&);
const Reader kReaders[] = {
    read<GetSupportedExportVersionsResponse>,
    read<GetContentVendorResponse>,
    read<ListInactiveWorkSpacesResponse>,
    read<ListAllObjectTypesResponse>,
    read<DeleteInactiveWorkSpaceResponse>,
    read<GetDBSchemaVersionResponse>,
    read<CreateChangeResponse>,
    read<GetChangeTrackingStatusResponse>,
    read<AddContributorResponse>,
    read<DeleteChangeResponse>,
    read<EditChangeDescriptionResponse>,
    read<EditContributorCommentResponse>,
    read<MergeChangesResponse>,
    read<MoveChangeEntriesResponse>,
    read<ReleaseChangeResponse>,
    read<RemoveContributorResponse>,
    read<ToggleChangeTrackingResponse>,
    read<ValidateContributionResponse>,
    read<FindChangesResponse>,
    read<GetAffectedChangesResponse>,
    read<ReadChangesResponse>,
    read<GetDeliveryUnitResponse>,
    read<ListDeliveryUnitsResponse>,
    read<ExportDeliveryUnitResponse>,
    read<ImportLanguagesResponse>,
    read<UnDeployDeliveryUnitResponse>,
    read<CreateDeliveryUnitResponse>,
    read<DeleteDeliveryUnitResponse>,
    read<UpdateDeliveryUnitResponse>,
    read<ExportLanguagesResponse>,
    read<ExistsDeliveryUnitResponse>,
    read<CheckIsDeliveryUnitBrokenResponse>,
    read<ImportFileResponse>,
    read<ImportMultipleFilesResponse>,
    read<ActivateObjectsResponse>,
    read<DeleteObjectResponse>,
    read<ListObjectsResponse>,
    read<GetObjectResponse>,
    read<ReadObjectsResponse>,
    read<WriteObjectResponse>,
    read<ListHistoryResponse>,
    read<PullInactiveObjectsResponse>,
    read<RevertObjectsResponse>,
    read<ExistsObjectResponse>,
    read<GetNumberOfLatestVersionResponse>,
    read<ReadPackageResponse>,
    read<CreatePackageResponse>,
    read<DeletePackageResponse>,
    read<UpdatePackageResponse>,
    read<ExistsPackageResponse>,
    read<ListPackagesResponse>,
    read<ListRootPackagesResponse>,
};

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
    const Reader aReader = kReaders[theData[0] % std::size(kReaders)];
    const RepositoryMessage aMessage =
        messageOf(reinterpret_cast<const char*>(theData) + 1, theSize - 1);
    try {
        aReader(aMessage);
    } catch (const Error&) {
        // A refused answer is the expected outcome for most inputs.
    }
    return 0;
}
