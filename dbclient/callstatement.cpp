#include "dbclient/callstatement.hpp"

#include <algorithm>
#include <cstring>

namespace RepositoryAccess::dbclient {

namespace {

// Copies as much of theValue as fits into theBuffer; DataTruncated when it did not fit whole.
ReturnCode copyOut(const std::string& theValue, void* theBuffer, std::int64_t* theLength,
                   std::int64_t theBufferSize) {
    const std::int64_t aSize = static_cast<std::int64_t>(theValue.size());
    if (theLength)
        *theLength = aSize;
    std::size_t aCopy = static_cast<std::size_t>(std::min(aSize, theBufferSize));
    if (aCopy > 0)
        std::memcpy(theBuffer, theValue.data(), aCopy);
    return aSize > theBufferSize ? ReturnCode::DataTruncated : ReturnCode::Ok;
}

} // namespace

ParameterMetaData* CallStatement::getParameterMetaData() {
    return itsPrepared ? static_cast<ParameterMetaData*>(this) : nullptr;
}

ParameterMode CallStatement::getParameterMode(int theIndex) const {
    return theIndex == 1   ? ParameterMode::In
           : theIndex == 2 ? ParameterMode::Out
                           : ParameterMode::Unknown;
}

ReturnCode CallStatement::bindParameter(int theIndex, HostType theType, void* theBuffer,
                                        std::int64_t* theLength, std::int64_t theBufferSize, bool) {
    itsError.clear();
    if (!itsPrepared || (theIndex != 1 && theIndex != 2) || theType != HostType::Binary ||
        theLength == nullptr || theBufferSize < 0 || (theBuffer == nullptr && theBufferSize > 0)) {
        itsError.set(kInvalidParameterCode,
                     "Invalid binding of parameter " + std::to_string(theIndex) +
                         ": the repository call takes two binary parameters");
        return ReturnCode::Error;
    }
    (theIndex == 1 ? itsInput : itsOutput) = {theBuffer, theLength, theBufferSize};
    return ReturnCode::Ok;
}

ReturnCode CallStatement::execute() {
    itsError.clear();
    itsResponse.reset();
    if (!itsPrepared || itsInput.itsLength == nullptr || itsOutput.itsLength == nullptr) {
        itsError.set(kInvalidParameterCode,
                     "The repository call needs both parameters bound before it runs");
        return ReturnCode::Error;
    }
    std::int64_t anInputSize = *itsInput.itsLength;
    if (anInputSize < 0 || anInputSize > itsInput.itsBufferSize) {
        itsError.set(kInvalidParameterCode,
                     "Invalid length of parameter 1: " + std::to_string(anInputSize));
        return ReturnCode::Error;
    }
    itsResponse = answer(std::string_view(static_cast<const char*>(itsInput.itsBuffer),
                                          static_cast<std::size_t>(anInputSize)));
    if (!itsResponse)
        return ReturnCode::Error;
    return copyOut(*itsResponse, itsOutput.itsBuffer, itsOutput.itsLength, itsOutput.itsBufferSize);
}

ReturnCode CallStatement::getObject(int theIndex, HostType theType, void* theBuffer,
                                    std::int64_t* theLength, std::int64_t theBufferSize, bool) {
    itsError.clear();
    if (theIndex != 2 || theType != HostType::Binary || !itsResponse || theBufferSize < 0 ||
        (theBuffer == nullptr && theBufferSize > 0)) {
        itsError.set(kInvalidParameterCode,
                     "Only the binary output parameter 2 of an executed call can be fetched");
        return ReturnCode::Error;
    }
    return copyOut(*itsResponse, theBuffer, theLength, theBufferSize);
}

} // namespace RepositoryAccess::dbclient
