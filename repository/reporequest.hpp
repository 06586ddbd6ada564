#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/repomessage.hpp"

namespace RepositoryAccess {

// One repository operation: its name, its JSON body and its attachments. The connection frames
// and sends it; read and write requests differ only in that simulation mode suppresses writes.
class RepositoryRequest {
public:
    virtual ~RepositoryRequest() = default;
    // Writes the JSON body: one object starting with "action" and "what".
    virtual void writeBody(std::string& theText) const = 0;
    // The request's name as shown in the simulation and JSON echo lines; never empty.
    virtual std::string getName() const = 0;
    virtual std::vector<SharedString> getCDataAttachments() const { return {}; }
    virtual std::vector<SharedString> getBDataAttachments() const { return {}; }
    // True for the requests that change the repository.
    virtual bool isWrite() const = 0;

    // The body as text.
    std::string json() const;
};

class RepositoryReadRequest : public RepositoryRequest {
public:
    bool isWrite() const final { return false; }
};

class RepositoryWriteRequest : public RepositoryRequest {
public:
    bool isWrite() const final { return true; }
};

} // namespace RepositoryAccess
