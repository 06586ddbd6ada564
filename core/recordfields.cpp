#include "core/recordfields.hpp"

#include <array>
#include <cstdint>

namespace RepositoryAccess {

namespace {

constexpr FieldKind kText = FieldKind::text;
constexpr FieldKind kFlag = FieldKind::flag;
constexpr FieldKind kNumber = FieldKind::number;
constexpr FieldKind kTruth = FieldKind::truth;

// clang-format off
constexpr std::array thePackageFields{
    //          key                        column                     option                   label                    kind   create print stored filter
    RecordField{"package",                 "name",                    "",                      "Package",               kText, true,  0,    false, ""},
    RecordField{"src_system",              "src_system",              "",                      "Source system",         kText, false, 101,  false, "srcSystem"},
    RecordField{"description",             "description",             "description",           "Description",           kText, true,  2,    false, "description"},
    RecordField{"responsible",             "responsible",             "responsible",           "Responsible",           kText, true,  3,    false, "responsible"},
    RecordField{"orig_lang",               "orig_lang",               "origLang",              "Original Language",     kText, true,  200,  false, "origLang"},
    RecordField{"structural",              "structural",              "structural",            "Structural",            kFlag, true,  1,    false, "structural"},
    RecordField{"delivery_unit",           "delivery_unit",           "deliveryUnit",          "Delivery Unit",         kText, true,  300,  false, "deliveryUnit"},
    RecordField{"du_vendor",               "du_vendor",               "vendor",                "Vendor",                kText, true,  301,  false, "vendor"},
    RecordField{"transportable",           "transportable",           "",                      "Transportable",         kText, false, 102,  false, "transportable"},
    RecordField{"content",                 "",                        "",                      "Content",               kText, false, 100,  false, "content"},
    RecordField{"text_collection",         "text_collection",         "textCollection",        "Text collection",       kText, true,  201},
    RecordField{"text_status",             "text_status",             "textStatus",            "Text status",           kText, true,  202},
    RecordField{"text_terminology_domain", "text_terminology_domain", "textTerminologyDomain", "Text terminology domain", kText, true, 203},
    RecordField{"hints_for_translation",   "hints_for_translation",   "hintsForTranslation",   "Hints for translation", kText, true,  204},
};

// The caption's option has a second name, "description" (adminoptions).
constexpr std::array theDeliveryUnitFields{
    //          key            column           option          label            kind   create print
    RecordField{"name",          "name",          "",             "Delivery Unit", kText, true,  0},
    RecordField{"vendor",        "vendor",        "",             "Vendor",        kText, true,  1},
    RecordField{"caption",       "caption",       "caption",      "Caption",       kText, true,  2},
    RecordField{"responsible",   "responsible",   "responsible",  "Responsible",   kText, true,  3},
    RecordField{"version",       "version",       "version",      "Version",       kText, true,  4},
    RecordField{"version_sp",    "version_sp",    "versionSP",    "Version SP",    kText, true,  5},
    RecordField{"version_patch", "version_patch", "versionPatch", "Version Patch", kText, true,  6},
    RecordField{"lastUpdate",    "last_update",   "lastUpdate",   "Last Update",   kText, false, 7},
    RecordField{"qrtsID",        "qrts_id",       "qrtsID",       "QRTS-ID",       kText, true,  8},
    RecordField{"sp_QRTS_ID",    "sp_qrts_id",    "spQRTSID",     "SP-QRTS-ID",    kText, true,  9},
    RecordField{"ach",           "ach",           "ach",          "ACH",           kText, true,  10},
};

// The number orders the changes in the store; the repository derives every attribute but the
// description, which the change's description option sets.
constexpr std::array theChangeFields{
    //          key            column         option         label          kind     create print stored only
    RecordField{"changeID",    "id",          "",            "Change ID",   kText,   false, 0},
    RecordField{"number",      "number",      "",            "",            kNumber, false, 0,    true},
    RecordField{"status",      "status",      "",            "Status",      kNumber, false, 1},
    RecordField{"description", "description", "description", "Description", kText,   true,  2},
    RecordField{"createdAt",   "created_at",  "",            "Created at",  kText,   false, 3},
    RecordField{"createdBy",   "created_by",  "",            "Created by",  kText,   false, 4},
    RecordField{"releasedAt",  "released_at", "",            "Released at", kText,   false, 5},
    RecordField{"releasedBy",  "released_by", "",            "Released by", kText,   false, 6},
};

// The repository sets every attribute of a contributor: the user and the comment come by other
// request members ("contributor", "comment").
constexpr std::array theContributorFields{
    //          key            column          option  label           kind     create print
    RecordField{"user",        "\"user\"",     "",     "User",         kText,   false, 0},
    RecordField{"status",      "status",       "",     "Status",       kNumber, false, 1},
    RecordField{"description", "description",  "",     "Description",  kText,   false, 2},
    RecordField{"validatedAt", "validated_at", "",     "Validated at", kText,   false, 3},
};

// The version types of object metadata, as bits of RecordField::itsVersionTypes.
constexpr unsigned kActive = 1u << 1, kInactive = 1u << 2, kHistorical = 1u << 3;
constexpr unsigned kActivated = kActive | kHistorical;

// The repository sets every attribute; the version id is not printed.
constexpr std::array theObjectMetaDataFields{
    //          key                column option label                kind     create print stored filter types      required
    RecordField{"version_id",      "",    "",    "",                  kNumber, false, 0, false, "", kActivated | kInactive, true},
    RecordField{"activated_at",    "",    "",    "Last activated at", kText,   false, 1, false, "", kActivated,   true},
    RecordField{"activated_by",    "",    "",    "Last activated by", kText,   false, 2, false, "", kActivated,   true},
    RecordField{"last_changed_at", "",    "",    "Last changed at",   kText,   false, 3, false, "", kInactive,    true},
    RecordField{"is_deletion",     "",    "",    "Deletion",          kTruth,  false, 4, false, "", kInactive | kHistorical, true},
    RecordField{"object_status",   "",    "",    "Object status",     kText,   false, 5, false, "", kActivated},
    RecordField{"change_number",   "",    "",    "Change number",     kText,   false, 6, false, "", kActivated},
    RecordField{"released_at",     "",    "",    "Released at",       kText,   false, 7, false, "", kActivated},
};
// clang-format on

} // namespace

RecordDescription packageFields() {
    return thePackageFields;
}

RecordDescription deliveryUnitFields() {
    return theDeliveryUnitFields;
}

RecordDescription changeFields() {
    return theChangeFields;
}

RecordDescription contributorFields() {
    return theContributorFields;
}

RecordDescription objectMetaDataFields() {
    return theObjectMetaDataFields;
}

std::int64_t recordNumber(std::string_view theText) {
    std::size_t aPos = 0;
    while (aPos < theText.size() && theText[aPos] == ' ')
        ++aPos;
    const bool aNegative = aPos < theText.size() && theText[aPos] == '-';
    if (aPos < theText.size() && (theText[aPos] == '-' || theText[aPos] == '+'))
        ++aPos;
    std::int64_t aValue = 0;
    constexpr std::int64_t aLimit = INT64_MAX / 10 - 9;
    for (; aPos < theText.size() && theText[aPos] >= '0' && theText[aPos] <= '9'; ++aPos)
        if (aValue < aLimit)
            aValue = aValue * 10 + (theText[aPos] - '0');
    return aNegative ? -aValue : aValue;
}

} // namespace RepositoryAccess
