#pragma once
// Picture-file formats: objects that read and write a bitmap from and to a
// stream, chosen by file extension, kept in one registry filled at start-up.

#include <memory>
#include <string>
#include <vector>

#include "objects/SysUtils.h"
#include "objects/TypInfo.h"

class TAbstractSuperDIB;
class TStream;

TW_DECLARE_EXCEPTION(EDIBFormatError, Exception);

// Progress of a load or save: (Sender, Percent).
using TDIBProgressEvent = TEvent<TObject*, int>;

class TAbstractDIBFormat : public TObject {
    TW_CLASS(TAbstractDIBFormat, TObject)

public:
    TAbstractDIBFormat() = default;

    // Virtual operations, in this order.
    virtual void GetDescription(std::string& Value) = 0;
    virtual void LoadFromStream(TStream& Stream) = 0;
    virtual void SaveToStream(TStream& Stream) = 0;
    virtual void CanRead(bool& Value) { Value = true; }
    virtual void CanWrite(bool& Value) { Value = true; }
    virtual bool CanReadExtension(const std::string& /*Ext*/) { return false; }
    virtual bool CanWriteExtension(const std::string& /*Ext*/) { return false; }
    // Append file-dialog filters ("Description (*.ext)|*.ext").
    virtual void GetSaveFilter(std::vector<std::string>& /*List*/) {}
    virtual void GetOpenFilter(std::vector<std::string>& /*List*/) {}
    // Credits of the format's implementation; empty unless a format says.
    virtual std::string GetAuthor() { return {}; }
    virtual std::string GetVersion() { return {}; }
    virtual std::string GetCopyright() { return {}; }
    virtual std::string GetComments() { return {}; }

    // The bitmap that is loaded into or saved from; not owned.
    TAbstractSuperDIB* DIB() const { return DIB_; }
    void SetDIB(TAbstractSuperDIB* Value) { DIB_ = Value; }
    const TDIBProgressEvent& OnProgress() const { return OnProgress_; }
    void SetOnProgress(TDIBProgressEvent Value) { OnProgress_ = std::move(Value); }

protected:
    // Reports the end of row `Row` (0-based) of a picture whose last row is
    // `LastRow`: 0 for every row but the last, 100 for the last one. A
    // picture of one row reports 100.
    void RowDone(int Row, int LastRow);
    // The target bitmap; raises EDIBFormatError when none is set.
    TAbstractSuperDIB* Target() const;

private:
    TAbstractSuperDIB* DIB_ = nullptr;
    TDIBProgressEvent OnProgress_;
};

// The registered formats, owned; built on first use with the built-in ones
// (RSB) and freed at exit.
std::vector<std::unique_ptr<TAbstractDIBFormat>>& FormatList();

// The first registered format that reads (or writes) files with extension
// `Ext` (".rsb", compared ignoring case), or none.
TAbstractDIBFormat* FindReadFormat(const std::string& Ext);
TAbstractDIBFormat* FindWriteFormat(const std::string& Ext);
