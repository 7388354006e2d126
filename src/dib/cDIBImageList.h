#pragma once
// The image list: the named pictures of a form, kept in one non-visual
// component, and the links through which controls refer to them by index.
//
// A control never owns a picture. Its link names a list and an index; through
// the link it gets the picture for drawing (GetImage) and hears when that
// picture changes, moves or is deleted (OnImageChanged).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dib/cDIB.h"
#include "objects/Classes.h"

class TCustomDIBImageList;
class TDIBImageLink;

// Where an item's pixels come from.
enum TDIBImageRetrieval : std::uint8_t { irInternal, irLoadOnStart, irLoadOnDemand };
TW_ENUM(TDIBImageRetrieval, "irInternal", "irLoadOnStart", "irLoadOnDemand");

// (Sender, var ImagePath): may replace the folder of a picture file path.
using TDIBTranslateImagePathEvent = TEvent<TObject*, std::string&>;
// (Sender, Index, Changed): Changed True = the picture at Index changed,
// False = the picture at Index was deleted.
using TDIBImageChangedEvent = TEvent<TDIBImageLink*, int, bool>;

// One named picture of the list.
class TDIBImagesItem : public TCollectionItem {
    TW_CLASS(TDIBImagesItem, TCollectionItem)

public:
    explicit TDIBImagesItem(TCollection* Collection);
    ~TDIBImagesItem() override;

    void DefineProperties(TFiler* Filer) override;
    std::string GetDisplayName() const override;
    void SetIndex(int Value) override;
    void SetDisplayName(const std::string& Value) override;
    // The class of the item's bitmap.
    static TClass DIBClass();
    // Handler of the bitmap's change event: tells the links.
    virtual void DIBChanged(TObject* Sender);

    // The picture, retrieved first when it has not been yet (which may raise
    // the error of a picture file).
    TMemoryDIB* DIB();
    // Copies pixels, settings and file names of Value into the item's bitmap.
    void SetDIB(TMemoryDIB* Value);
    // The bitmap without retrieval.
    TMemoryDIB* StoredDIB() const { return DIB_.get(); }

    TDIBImageRetrieval ImageRetrieval() const { return ImageRetrieval_; }
    void SetImageRetrieval(TDIBImageRetrieval Value);
    const std::string& TemplateFilename() const { return TemplateFilename_; }
    void SetTemplateFilename(const std::string& Value) { TemplateFilename_ = Value; }
    bool Retrieved() const { return Retrieved_; }
    const TDIBTranslateImagePathEvent& OnTranslateImagePath() const {
        return OnTranslateImagePath_;
    }
    void SetOnTranslateImagePath(TDIBTranslateImagePathEvent Value) {
        OnTranslateImagePath_ = std::move(Value);
    }

    // Makes the picture available: pixels from the form count as retrieved;
    // otherwise the picture (and mask) files are imported when a file name is
    // set. On failure the item stays unretrieved and the error propagates.
    void Retrieve();
    // Path after OnTranslateImagePath has had the chance to change its folder.
    std::string TranslatePath(const std::string& Path);

private:
    std::unique_ptr<TMemoryDIB> DIB_;
    std::string TemplateFilename_;
    std::string DisplayName_;
    bool Retrieved_ = false;
    bool Retrieving_ = false;
    TDIBImageRetrieval ImageRetrieval_ = irInternal;
    TDIBTranslateImagePathEvent OnTranslateImagePath_;
};

// The items of a list; owned by the list.
class TDIBImages : public TOwnedCollection {
    TW_CLASS(TDIBImages, TOwnedCollection)

public:
    TDIBImages(TPersistent* Owner, TClass ItemClass);
    ~TDIBImages() override;

    TDIBImagesItem* Add() { return static_cast<TDIBImagesItem*>(TCollection::Add()); }
    TDIBImagesItem* Items(int Index) const {
        return static_cast<TDIBImagesItem*>(TCollection::Items(Index));
    }

    virtual void ItemNotify(int Index, bool Changed);
    virtual void ItemMoved(int From, int To);
    // The item that came from item N of template Template ("{GUID}:N"),
    // added when there is none yet.
    TDIBImagesItem* FindOrAddTemplate(const std::string& Template, int N);

protected:
    void Update(TCollectionItem* Item) override;
};

class TCustomDIBImageList : public TComponent {
    TW_CLASS(TCustomDIBImageList, TComponent)

public:
    explicit TCustomDIBImageList(TComponent* Owner);
    ~TCustomDIBImageList() override;

    void Loaded() override;
    virtual void RegisterLink(TDIBImageLink* Link);
    virtual void NotifyLinks(int Index, bool Changed);
    virtual void MoveLinks(int From, int To);
    virtual void UnregisterLink(TDIBImageLink* Link);
    // The class of the list's items.
    static TClass ItemClass();

    TDIBImages* DIBImages() const { return DIBImages_.get(); }
    void SetDIBImages(TDIBImages* Value) { DIBImages_->Assign(Value); }

    // The list's one shared view, re-pointed at item Index (retrieving it
    // first). No range check; the view is valid until the next call.
    TMemoryDIB* GetDIB(int Index);
    // False for an invalid index or an item without pixels; otherwise DIB :=
    // GetDIB(Index).
    bool GetImage(int Index, TMemoryDIB*& DIB);
    bool IsIndexValid(int Index) const;

    const std::vector<TDIBImageLink*>& Links() const { return Links_; }
    TMemoryDIB* SharedView() const { return SharedView_.get(); }

private:
    bool IsRegistered(const TDIBImageLink* Link) const;

    std::unique_ptr<TDIBImages> DIBImages_;
    std::unique_ptr<TMemoryDIB> SharedView_;
    std::vector<TDIBImageLink*> Links_;
};

class TDIBImageList : public TCustomDIBImageList {
    TW_CLASS(TDIBImageList, TCustomDIBImageList)

public:
    using TCustomDIBImageList::TCustomDIBImageList;
};

// A control's reference to one picture of a list.
class TDIBImageLink : public TPersistent {
    TW_CLASS(TDIBImageLink, TPersistent)

public:
    explicit TDIBImageLink(TComponent* Owner = nullptr);
    ~TDIBImageLink() override;

    void AssignTo(TPersistent* Dest) override;
    // Told of every change: reacts to its own index only (see the .cpp).
    virtual void ImageChanged(int Index, bool Changed);
    TPersistent* GetOwner() const override { return Owner_; }

    TComponent* Owner() const { return Owner_; }
    TCustomDIBImageList* DIBImageList() const { return DIBImageList_; }
    void SetDIBImageList(TCustomDIBImageList* Value);
    int DIBIndex() const { return DIBIndex_; }
    void SetDIBIndex(int Value);
    const TDIBImageChangedEvent& OnImageChanged() const { return OnImageChanged_; }
    void SetOnImageChanged(TDIBImageChangedEvent Value) { OnImageChanged_ = std::move(Value); }

    bool GetImage(TMemoryDIB*& DIB) const;
    bool IsValid() const;

private:
    TComponent* Owner_;
    TCustomDIBImageList* DIBImageList_ = nullptr;
    int DIBIndex_ = -1;
    TDIBImageChangedEvent OnImageChanged_;
};
