// A control template on any bytes, loaded onto a knob with an image list.
// It is loaded or refused with an exception, nothing else; a refused
// template leaves the image list as it was.
#include <cstdlib>

#include "controls/cDIBKnob.h"
#include "controls/cDIBPanel.h"
#include "framework/Forms.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TForm form(nullptr);
    auto* box = new TDIBContainer(&form);
    auto* list = new TDIBImageList(&form);
    list->DIBImages()->Add()->DIB()->SetSize(4, 4);
    auto* knob = new TDIBKnob(box);
    knob->SetDIBImageList(list);
    TMemoryStream in(data, size);
    try {
        knob->LoadTemplate(in);
    } catch (const Exception&) {
        if (list->DIBImages()->Count() != 1) std::abort();
    }
    return 0;
}
