#include "core/recordfields.hpp"

#include <array>

namespace RepositoryAccess {

namespace {

constexpr FieldKind kText = FieldKind::text;

// clang-format off
constexpr std::array thePackageFields{
    //          key                        column                     option                   label                    kind   create print
    RecordField{"package",                 "name",                    "",                      "Package",               kText, true,  0},
    RecordField{"src_system",              "src_system",              "",                      "Source system",         kText, false, 11},
    RecordField{"description",             "description",             "description",           "Description",           kText, true,  2},
    RecordField{"responsible",             "responsible",             "responsible",           "Responsible",           kText, true,  3},
    RecordField{"orig_lang",               "orig_lang",               "origLang",              "Original Language",     kText, true,  20},
    RecordField{"structural",              "structural",              "structural",            "Structural",            FieldKind::flag, true,  1},
    RecordField{"delivery_unit",           "delivery_unit",           "deliveryUnit",          "Delivery Unit",         kText, true,  30},
    RecordField{"du_vendor",               "du_vendor",               "vendor",                "Vendor",                kText, true,  31},
    RecordField{"transportable",           "transportable",           "",                      "Transportable",         kText, false, 12},
    RecordField{"content",                 "content",                 "",                      "Content",               kText, false, 10},
    RecordField{"text_collection",         "text_collection",         "textCollection",        "Text collection",       kText, true,  21},
    RecordField{"text_status",             "text_status",             "textStatus",            "Text status",           kText, true,  22},
    RecordField{"text_terminology_domain", "text_terminology_domain", "textTerminologyDomain", "Text terminology domain", kText, true, 23},
    RecordField{"hints_for_translation",   "hints_for_translation",   "hintsForTranslation",   "Hints for translation", kText, true,  24},
};
// clang-format on

} // namespace

RecordDescription packageFields() {
    return thePackageFields;
}

} // namespace RepositoryAccess
