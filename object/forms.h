// The four forms of LightWave object this core reads, and the form check of
// a caller that draws some of them: the plug-in LWOB alone unless its Forms
// setting asks for more, qavren all four.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/object_buffer.h"
#include "platform/status.h"

namespace qavren {

enum class ObjectForm : uint8_t {
    kLwob,  // LightWave 3 to 5: one PNTS and one POLS chunk
    kLwlo,  // LightWave 5 layered: LWOB records inside LAYR layers
    kLwo2,  // LightWave 6 to 11
    kLwo3,  // LightWave 2015 and later: LWO2's geometry, nested surface FORMs
};

// A set of forms, one bit a form.
using FormSet = uint32_t;
constexpr FormSet FormBit(ObjectForm form) { return FormSet{1} << static_cast<uint32_t>(form); }
constexpr FormSet kLwobOnly = FormBit(ObjectForm::kLwob);
constexpr FormSet kEveryForm =
    kLwobOnly | FormBit(ObjectForm::kLwlo) | FormBit(ObjectForm::kLwo2) | FormBit(ObjectForm::kLwo3);

// The form named by bytes 8..11 of a FORM; false for anything else (no
// data, short or not a FORM, another type).
bool IdentifyForm(const ObjectBuffer& buffer, ObjectForm* form);

// True when an object's first `length` bytes begin with a FORM header of one
// of the four forms ("FORM", any length, the type): the form told from 12
// bytes alone, so that a shell can answer before the rest has come.
bool HeaderNamesObject(const uint8_t* head, size_t length);

// "FORM LWO2" and the like, for people.
const char* FormName(ObjectForm form);

// The form check of a caller that draws the forms in `accepted`:
// status::kDrawnForm for one of them; any other data gets what
// CheckForm(buffer) says (status::kLayered for LWLO, status::kOtherForm for
// LWO2, LWO3 and other types, status::kCorrupt or status::kNoData), and LWOB
// left out of the set status::kOtherForm.
// With kLwobOnly it is CheckForm(buffer) exactly.
Status CheckForm(const ObjectBuffer& buffer, FormSet accepted);

}  // namespace qavren
