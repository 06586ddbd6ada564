#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/commandsyntax.hpp"

namespace RepositoryAccess {

// The authored words of one action entry, all HTML fragments built into the program. The usage
// lines are not part of it: they come from the command syntax table.
struct CommandHelpText {
    std::string_view itsAction;           // as written in the syntax table, "checkOut"
    std::string_view itsWhatKey;          // "workSpace"; empty for actions without WHAT
    std::string_view itsShortDescription; // one line, lower-case start
    std::string_view itsDescription;      // sentences, placed inside one paragraph
    std::string_view itsOptions;          // "  None." when the entry has none
    std::string_view itsExamples;
    std::string_view itsRelated; // ids of related entries, separated by blanks
};

// The authored words of one topic: its name and a text that starts with its own heading.
struct TopicHelpText {
    std::string_view itsName;
    std::string_view itsText;
};

// One help text: a topic or an action entry.
class Help {
public:
    virtual ~Help() = default;
    virtual std::string getTitle() const = 0;
    // The HTML anchor of the entry; the overview links to it.
    virtual std::string getId() const = 0;
    virtual std::string toHtml() const = 0;
};

// The help entry of one entry of the command syntax table.
class CommandHelp : public Help {
public:
    // theSyntax may be null when the table has no such entry; toHtml() then fails.
    CommandHelp(const CommandHelpText& theText, const CommandSyntaxEntry* theSyntax);

    // The action name, a blank and the WHAT key when there is one: "create workSpace".
    std::string getTitle() const override;
    // The action name, "_" and the WHAT key when there is one: "create_workSpace".
    std::string getId() const override;
    // Heading, description, usage lines from the syntax table, options, examples, related
    // entries. Throws "Internal error: Failed to get command syntax for ..." without syntax.
    std::string toHtml() const override;

    std::string_view action() const { return itsText.itsAction; }
    std::string_view whatKey() const { return itsText.itsWhatKey; }
    bool hasWhat() const { return !itsText.itsWhatKey.empty(); }
    std::string_view shortDescription() const { return itsText.itsShortDescription; }
    std::string_view relatedIds() const { return itsText.itsRelated; }
    const CommandSyntaxEntry* syntax() const { return itsSyntax; }

    // True when theWord (compared without regard to case) is the WHAT key or one of the
    // keyword alternatives that the syntaxes accept right after the action word.
    bool isNamedBy(std::string_view theWord) const;

    // One line per syntax: the usage tokens joined by blanks, the action name for "ACTION".
    std::vector<std::string> usageLines() const;

    void setRelated(std::vector<const CommandHelp*> theRelated) { itsRelated = theRelated; }

private:
    const CommandHelpText& itsText;
    const CommandSyntaxEntry* itsSyntax;
    std::vector<const CommandHelp*> itsRelated;
};

// The help text of one topic; title and id are the topic name.
class AdditionalHelp : public Help {
public:
    explicit AdditionalHelp(const TopicHelpText& theText) : itsText(theText) {}
    std::string getTitle() const override { return std::string(itsText.itsName); }
    std::string getId() const override { return std::string(itsText.itsName); }
    std::string toHtml() const override;

private:
    const TopicHelpText& itsText;
};

// The authored texts, one function per source file.
namespace helptexts {
std::span<const CommandHelpText> workspaceActions();
std::span<const CommandHelpText> administrationActions();
std::span<const CommandHelpText> deliveryActions();
std::span<const CommandHelpText> listActions();
std::span<const TopicHelpText> topics();
std::span<const TopicHelpText> workspaceTopics();
std::span<const TopicHelpText> serverTopics();
// The overview page body: usage, the actions linked to their entries, the topics, examples.
std::string_view overview();
} // namespace helptexts

// The process-wide help entries, created on first use (the topics first, then one action entry
// per entry of the command syntax table, in table order) and kept for the rest of the process.
namespace helpregistry {

const std::vector<AdditionalHelp>& topics();
const std::vector<CommandHelp>& commands();

// The syntax table the entries were built from (advanced-mode syntaxes when advanced mode is on).
const std::vector<CommandSyntaxEntry>& syntaxTable();

} // namespace helpregistry
} // namespace RepositoryAccess
