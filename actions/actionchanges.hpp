#pragma once

#include "actions/command.hpp"

namespace RepositoryAccess {

// `kivo set changeTrackingStatus enabled|disabled`: switches change tracking of the repository
// on or off; `--force` switches it off in spite of open changes.
class actionSet : public Command {
public:
    void checkArguments() const override;
    void execute() override;
};

// `kivo merge changes SOURCE TARGET`: the source change's objects and contributors join the
// target change.
class actionMerge : public Command {
public:
    void checkArguments() const override;
    void execute() override;
};

// `kivo release change CHANGEID...`: releases changes whose contributors have all validated.
class actionRelease : public Command {
public:
    void checkArguments() const override;
    void execute() override;
};

// `kivo validate contributor CHANGEID CONTRIBUTOR...`: the contributors (the user themselves)
// validate their contribution to the change, with `--description` as comment.
class actionValidate : public Command {
public:
    void checkArguments() const override;
    void execute() override;
};

} // namespace RepositoryAccess
