// Change tracking through the real binaries: what each action prints and how it words refusals;
// what the engine allows is its own tests'.
#include <gtest/gtest.h>

#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;

namespace {

// dev's "ws" and other's "wso" (key K2), both tracking acme, with change tracking on.
class Changes : public WorkspaceTest<true, true> {
protected:
    Changes() {
        setKey("K2", "other");
        makeWorkspace("wso", "K2", "acme");
        EXPECT_EQ(outputOf(kivo({"set", "changeTrackingStatus", "enabled"})),
                  "Change tracking is now on.\n");
    }

    RunResult other(const std::vector<std::string>& theArgs) const {
        return kivoIn(dir() / "wso", theArgs);
    }
    void otherWrites(const std::string& theRelative, const std::string& theContent) const {
        writeText(dir() / "wso" / theRelative, theContent);
    }
    // Writes a file of dev's workspace and pushes it; returns the push's output.
    std::string push(const std::string& theRelative, const std::string& theContent) const {
        write(theRelative, theContent);
        return outputOf(kivo({"push"}));
    }
};

const std::string kChange1 = "Change: \"ZEV//1\"\n";

// The labelled lines of a change.
std::string changeBlock(const std::string& theId, const std::string& theStatus,
                        const std::string& theDescription, bool theReleased) {
    return "Change ID               : " + theId + "\nStatus                  : " + theStatus +
           "\nDescription             : " + theDescription +
           "\nCreated at              : <time>\nCreated by              : DEV\n"
           "Released at             : " +
           (theReleased ? "<time>" : "") +
           "\nReleased by             : " + (theReleased ? "DEV" : "") + "\n";
}

std::string contributorBlock(const std::string& theUser, bool theValidated,
                             const std::string& theDescription = "") {
    return "User                    : " + theUser +
           "\nStatus                  : " + (theValidated ? "2 (validated)" : "1 (open)") +
           "\nDescription             : " + theDescription +
           "\nValidated at            : " + (theValidated ? "<time>" : "") + "\n";
}

} // namespace

TEST_F(Changes, ActivationsOpenAChangeReuseItAndRespectItsContributors) {
    EXPECT_TRUE(contains(push("acme/a.txt", "one"), kChange1));
    // The second activation of the object finds its change and joins it.
    write("acme/a.txt", "two");
    expectOk(kivo({"commit"}));
    EXPECT_EQ(outputOf(kivo({"activate", "--getAffectedChanges"})), "ZEV//1\n");
    expectSays(kivo({"activate"}), kChange1);
    // other works on the same object but contributes to no change of it.
    expectOk(other({"checkout"}));
    otherWrites("acme/a.txt", "other's");
    expectRefused(other({"push"}), "Activation failed: The objects are contained in precisely one "
                                   "change (\"ZEV//1\"), but you are not one of the contributors.");
    expectSays(kivo({"create", "contributor", "ZEV//1", "other", "--verbose"}),
               "Created contributor: \"other\" for change \"ZEV//1\"\n");
    expectSays(other({"activate"}), kChange1);
    // A change of its own for b.txt; an activation of both objects would mix two changes.
    expectSays(kivo({"create", "change", "second"}), "Created change: \"ZEV//2\"\n");
    write("acme/b.txt", "bee");
    expectOk(kivo({"commit"}));
    expectSays(kivo({"activate", "--changeId=ZEV//2"}), "Change: \"ZEV//2\"\n");
    expectOk(kivo({"checkout"}));
    write("acme/a.txt", "three");
    write("acme/b.txt", "bee two");
    expectOk(kivo({"commit"}));
    expectRefused(kivo({"activate"}), "Activation failed: The objects are contained in more than "
                                      "one change:\nZEV//1\nZEV//2\n");
    // A request refused before any activation began has no activation ID to name.
    expectRefused(kivo({"activate", "--changeId=ZEV//9"}),
                  "Failed to activate objects. Error 40102: Change \"ZEV//9\" does not exist");
}

// Changes administered with their success lines and refusals; each user deletes their own
// inactive workspaces.
TEST_F(Changes, EntriesMoveAndMergeBetweenChangesThatAreAdministeredWithTheirRefusals) {
    push("acme/a.txt", "one");
    expectOk(kivo({"create", "change", "two", "three"}));
    const std::string aMissing = "(40102): Change \"ZEV//9\" does not exist: ZEV//9\n";
    expectSays(
        kivo({"move", "ZEV//1", "ZEV//2", "-v"}),
        "Moved object: \"" + path("acme/a.txt") +
            "\" from change \"ZEV//1\" to change \"ZEV//2\"\nMoved objects                : 1\n");
    EXPECT_EQ(kivo({"move", "ZEV//1", "ZEV//2"}).itsOut, "Nothing to move.\n");
    expectRefused(kivo({"move", "ZEV//9", "ZEV//2"}), "Failed to read changes " + aMissing);
    expectRefused(kivo({"delete", "change", "ZEV//2"}),
                  "Failed to delete change. Change id: ZEV//2 (40105): Change \"ZEV//2\" holds 1 "
                  "object(s) and cannot be deleted; move them to another change first: ZEV//2\n");
    expectSays(kivo({"merge", "changes", "ZEV//2", "ZEV//3", "-v"}),
               "Merged changes: \"ZEV//2\" and \"ZEV//3\"\n");
    expectSays(kivo({"delete", "change", "ZEV//1", "ZEV//2", "-v"}),
               "Deleted change: \"ZEV//1\"\nDeleted change: \"ZEV//2\"\n");
    expectSays(kivo({"update", "change", "ZEV//3", "--description=renamed", "-v"}),
               "Updated change: \"ZEV//3\"\n");
    expectRefused(kivo({"update", "change", "ZEV//9", "--description=renamed"}),
                  "Failed to edit change description. Change id: ZEV//9, description: renamed " +
                      aMissing);
    expectOk(kivo({"create", "contributor", "ZEV//3", "other"}));
    expectSays(other({"update", "contributor", "ZEV//3", "other", "--description=later", "-v"}),
               "Updated contributor: \"other\" of change: \"ZEV//3\"\n");
    expectSays(kivo({"delete", "contributor", "ZEV//3", "other", "-v"}),
               "Deleted contributor: \"other\" from change \"ZEV//3\"\n");
    expectRefused(kivo({"delete", "contributor", "ZEV//3", "other"}),
                  "Failed to remove contributor. Change id: ZEV//3, contributor: other (40106): "
                  "User \"other\" is not a contributor of change \"ZEV//3\": other\n");

    write("acme/b.txt", "dev's");
    expectOk(kivo({"commit"}));
    otherWrites("acme/o.txt", "other's");
    expectOk(other({"commit"}));
    EXPECT_TRUE(contains(target().show(), "Inactive versions: 2\n")) << target().show();
    expectSays(kivo({"delete", "inactiveWorkSpace", "ws", "-v"}),
               "Deleted inactive workspace: \"ws\" of user \"DEV\"\n");
    expectSays(other({"delete", "allInactiveWorkSpaces", "other", "-v"}),
               "Deleted inactive workspace: \"wso\" of user \"other\"\n");
    EXPECT_TRUE(contains(target().show(), "Inactive versions: 0\n")) << target().show();
}

// ZEV//1 released once both contributors validated, ZEV//2 open, ZEV//3 merged into it; then the
// switch goes off only by force while a change is open, and off, activations carry none.
TEST_F(Changes, AChangeIsReleasedOnlyWhenEveryContributorValidatedAndChangesAreListed) {
    push("acme/a.txt", "one");
    expectOk(kivo({"create", "contributor", "ZEV//1", "other"}));
    expectSays(kivo({"validate", "contributor", "ZEV//1", "dev", "--verbose"}),
               "Validated contributor: \"dev\" of change \"ZEV//1\"\n");
    expectRefused(kivo({"release", "ZEV//1"}),
                  "Failed to release change. Change id: ZEV//1 (40107): Change \"ZEV//1\" cannot "
                  "be released: not every contribution is validated (OTHER): ZEV//1\n");
    expectOk(other({"validate", "ZEV//1", "other", "--description=looks good"}));
    expectSays(kivo({"release", "change", "ZEV//1", "--verbose"}), "Released change: \"ZEV//1\"\n");
    expectOk(kivo({"create", "change", "second"}));
    expectOk(kivo({"create", "change", "third"}));
    expectOk(kivo({"merge", "changes", "ZEV//3", "ZEV//2"}));
    const std::string aFirst = changeBlock("ZEV//1", "2 (released)", "", true) + "\n";
    const std::string aSecond = changeBlock("ZEV//2", "1 (open)", "second", false) + "\n";
    const std::string aThird = changeBlock("ZEV//3", "3 (abandoned)", "third", false) + "\n";
    expectOutputs({
        {{"list", "changes"}, aFirst + aSecond + aThird},
        {{"list", "chs", "--open"}, aSecond},
        {{"list", "chs", "-r"}, aFirst},
        {{"list", "chs", "--abandoned"}, aThird},
        {{"list", "chs", "--contributorStatus=2"}, aFirst},
        {{"list", "chs", "--createdBy=other"}, ""},
        {{"list", "change", "ZEV//1"}, "acme/a.txt\n"},
        {{"list", "ch", "ZEV//1", "ZEV//2"}, "ZEV//1:\nacme/a.txt\nZEV//2:\n"},
        {{"show", "change", "ZEV//1"},
         "Change:\n" + aFirst + "Contributors:\n" + contributorBlock("DEV", true) +
             contributorBlock("OTHER", true, "looks good") + "\n"},
        {{"show", "ch", "ZEV//3"},
         "Change:\n" + aThird + "Contributors:\n" + contributorBlock("DEV", false) + "\n"},
        {{"list", "aos"}, "\tacme/a.txt (version #1) (change number #ZEV//1, released <time>)\n"},
    });
    // The next activation of the object opens a new change, which stops the switch unless forced.
    EXPECT_TRUE(contains(push("acme/a.txt", "two"), "Change: \"ZEV//4\"\n"));
    expectRefused(kivo({"set", "cts", "disabled"}),
                  "Failed to toggle change tracking (40103): Change tracking cannot be switched "
                  "off while open changes exist; release or delete them, or force the switch: \n");
    EXPECT_EQ(outputOf(kivo({"set", "cts", "disabled", "--force"})),
              "Change tracking is now off.\n");
    EXPECT_FALSE(contains(push("acme/a.txt", "three"), "Change: "));
}

// With dev the one administrator, a change is its creator's (and dev's) and the switch dev's.
TEST_F(Changes, AChangeIsItsCreatorsAndTheSwitchTheAdministrators) {
    expectOk(target().tool("user", {"dev", "pw", "--admin"}));
    expectRefused(other({"set", "cts", "disabled"}),
                  "Failed to toggle change tracking (40120): Not authorized: User OTHER may not "
                  "switch change tracking: only an administrator may\n");
    push("acme/a.txt", "dev's");
    expectOk(kivo({"create", "contributor", "ZEV//1", "other"}));
    expectRefused(other({"release", "ZEV//1"}),
                  "(40120): Not authorized: User OTHER may not release change \"ZEV//1\": only its "
                  "creator DEV or an administrator may\n");
    // Without names, validate validates the connected user's own contribution.
    expectOk(other({"validate", "contributor", "ZEV//1"}));
    expectOk(kivo({"validate", "ZEV//1"}));
    expectOk(kivo({"release", "ZEV//1"}));
    otherWrites("acme/o.txt", "other's");
    expectOk(other({"push"}));
    expectOk(kivo({"update", "change", "ZEV//2", "--description=checked"}));
}
