// A control template on any bytes, loaded onto a knob with an image list.
// It is loaded or refused with an exception, nothing else; whatever state the
// knob is left in, the template it then saves loads back onto it.
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
    } catch (const Exception&) {}
    TMemoryStream again;
    try {
        knob->SaveTemplate(again);
        again.SetPosition(0);
        knob->LoadTemplate(again);
    } catch (const Exception&) {
        std::abort();
    }
    return 0;
}
