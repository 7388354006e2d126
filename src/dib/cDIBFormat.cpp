#include "dib/cDIBFormat.h"

#include "dib/DIBRSBFormat.h"

TW_IMPLEMENT_CLASS(TAbstractDIBFormat) {}

void TAbstractDIBFormat::RowDone(int Row, int LastRow) {
    if (!OnProgress_) return;
    // Percent = (Row div LastRow) * 100; a single row has nothing to divide
    // by and is complete once read.
    OnProgress_(this, LastRow <= 0 ? 100 : (Row / LastRow) * 100);
}

TAbstractSuperDIB* TAbstractDIBFormat::Target() const {
    if (!DIB_) throw EDIBFormatError("No bitmap is assigned to the picture format.");
    return DIB_;
}

std::vector<std::unique_ptr<TAbstractDIBFormat>>& FormatList() {
    static std::vector<std::unique_ptr<TAbstractDIBFormat>> list = [] {
        std::vector<std::unique_ptr<TAbstractDIBFormat>> l;
        l.push_back(std::make_unique<TDIBRSBFormat>());
        return l;
    }();
    return list;
}

TAbstractDIBFormat* FindReadFormat(const std::string& Ext) {
    for (auto& f : FormatList())
        if (f->CanReadExtension(Ext)) return f.get();
    return nullptr;
}

TAbstractDIBFormat* FindWriteFormat(const std::string& Ext) {
    for (auto& f : FormatList())
        if (f->CanWriteExtension(Ext)) return f.get();
    return nullptr;
}
