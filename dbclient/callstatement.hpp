#pragma once

#include "dbclient/dbclient.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace RepositoryAccess::dbclient {

// Error code of a parameter binding that the repository call cannot take.
inline constexpr int kInvalidParameterCode = 258;

// The prepared repository call of every backend: one binary input and one binary output
// parameter. The output behaves like a database server's: a response longer than the bound
// buffer answers data-truncated with the full length in the length indicator, and a second fetch
// of parameter 2 with that length returns the whole frame. The backend supplies the answer.
class CallStatement : public PreparedStatement, private ParameterMetaData {
public:
    ParameterMetaData* getParameterMetaData() override;
    ReturnCode bindParameter(int theIndex, HostType theType, void* theBuffer,
                             std::int64_t* theLength, std::int64_t theBufferSize,
                             bool theTerminate = false) override;
    ReturnCode execute() override;
    ReturnCode getObject(int theIndex, HostType theType, void* theBuffer, std::int64_t* theLength,
                         std::int64_t theBufferSize, bool theTerminate = false) override;

protected:
    // The backend's prepare calls this with whether the text was the repository call.
    void setPrepared(bool thePrepared) { itsPrepared = thePrepared; }
    // The answer frame to theFrame, or nothing with the failure in itsError.
    virtual std::optional<std::string> answer(std::string_view theFrame) = 0;

private:
    int getParameterCount() const override { return 2; }
    ParameterMode getParameterMode(int theIndex) const override;

    struct Binding {
        void* itsBuffer = nullptr;
        std::int64_t* itsLength = nullptr;
        std::int64_t itsBufferSize = 0;
    };
    bool itsPrepared = false;
    Binding itsInput, itsOutput;
    std::optional<std::string> itsResponse;
};

} // namespace RepositoryAccess::dbclient
