// Telling the four forms apart, and the form check over a set of them.
#include "object/forms.h"

#include <cstring>

#include "object/lwob.h"
#include "object/tags.h"

namespace qavren {
namespace {

struct FormTag {
    const char* tag;
    ObjectForm form;
    const char* name;
};
constexpr FormTag kForms[] = {
    {"LWOB", ObjectForm::kLwob, "FORM LWOB"},
    {"LWLO", ObjectForm::kLwlo, "FORM LWLO"},
    {"LWO2", ObjectForm::kLwo2, "FORM LWO2"},
    {"LWO3", ObjectForm::kLwo3, "FORM LWO3"},
};

// The form a FORM's type (its bytes 8..11) names.
bool FormOfType(const uint8_t* type, ObjectForm* form) {
    for (const FormTag& f : kForms) {
        if (IsTag(type, f.tag)) {
            *form = f.form;
            return true;
        }
    }
    return false;
}

}  // namespace

bool IdentifyForm(const ObjectBuffer& buffer, ObjectForm* form) {
    const Status plain = CheckForm(buffer);
    if (plain != status::kLwob && plain != status::kLayered && plain != status::kOtherForm) return false;
    return FormOfType(buffer.data() + 8, form);
}

bool HeaderNamesObject(const uint8_t* head, size_t length) {
    ObjectForm form;
    return head && length >= 12 && std::memcmp(head, "FORM", 4) == 0 && FormOfType(head + 8, &form);
}

const char* FormName(ObjectForm form) { return kForms[static_cast<uint32_t>(form)].name; }

Status CheckForm(const ObjectBuffer& buffer, FormSet accepted) {
    ObjectForm form;
    if (IdentifyForm(buffer, &form) && (accepted & FormBit(form)) != 0) return status::kDrawnForm;
    const Status plain = CheckForm(buffer);
    return plain == status::kLwob ? status::kOtherForm : plain;
}

}  // namespace qavren
