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

}  // namespace

bool IdentifyForm(const ObjectBuffer& buffer, ObjectForm* form) {
    const Status plain = CheckForm(buffer);
    if (plain != status::kLwob && plain != status::kLayered && plain != status::kOtherForm) return false;
    for (const FormTag& f : kForms) {
        if (IsTag(buffer.data() + 8, f.tag)) {
            *form = f.form;
            return true;
        }
    }
    return false;
}

const char* FormName(ObjectForm form) { return kForms[static_cast<uint32_t>(form)].name; }

Status CheckForm(const ObjectBuffer& buffer, FormSet accepted) {
    ObjectForm form;
    if (IdentifyForm(buffer, &form) && (accepted & FormBit(form)) != 0) return status::kDrawnForm;
    const Status plain = CheckForm(buffer);
    return plain == status::kLwob ? status::kOtherForm : plain;
}

}  // namespace qavren
