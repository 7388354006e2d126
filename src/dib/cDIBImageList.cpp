#include "dib/cDIBImageList.h"

#include <algorithm>

#include "objects/Streaming.h"

namespace {

#ifdef _WIN32
constexpr char kPathDelim = '\\';
#else
constexpr char kPathDelim = '/';
#endif

// Both separators count when splitting: a form saved on one system may be
// opened on the other.
bool isDelim(char c) { return c == '/' || c == '\\'; }

std::size_t nameStart(const std::string& path) {
    std::size_t n = path.size();
    while (n > 0 && !isDelim(path[n - 1])) --n;
    return n;
}

}  // namespace

// Forms name the list by class.
static const bool kRegistered = (RegisterClasses({TDIBImageList::StaticClass()}), true);

// ---- TDIBImagesItem -------------------------------------------------------

TW_IMPLEMENT_CLASS(TDIBImagesItem) {
    b.Property("ImageRetrieval", &TDIBImagesItem::ImageRetrieval,
               &TDIBImagesItem::SetImageRetrieval)
        .Default(irInternal);
    // Streams the stored bitmap as it is: writing a form must not import (or
    // fail on) the picture files of items that are loaded from files.
    b.Property("DIB", &TDIBImagesItem::StoredDIB, &TDIBImagesItem::SetDIB);
    b.Property("DisplayName", &TDIBImagesItem::GetDisplayName, &TDIBImagesItem::SetDisplayName);
    b.Property("OnTranslateImagePath", &TDIBImagesItem::OnTranslateImagePath,
               &TDIBImagesItem::SetOnTranslateImagePath);
}

TDIBImagesItem::TDIBImagesItem(TCollection* Collection)
    : TCollectionItem(Collection), DIB_(std::make_unique<TMemoryDIB>(1, 1)) {
    DIB_->SetOnChange(TNotifyEvent::Bind(this, &TDIBImagesItem::DIBChanged));
    DisplayName_ = TCollectionItem::GetDisplayName();
}

TDIBImagesItem::~TDIBImagesItem() {
    TDIBImages* images = dynamic_cast<TDIBImages*>(Collection());
    const int index = images ? Index() : -1;
    DIB_.reset();
    if (images) {
        // Leave the collection first, so that the links hear of the deletion
        // with the item already gone.
        SetCollection(nullptr);
        images->ItemNotify(index, false);
    }
}

TClass TDIBImagesItem::DIBClass() { return TMemoryDIB::StaticClass(); }

void TDIBImagesItem::DefineProperties(TFiler* Filer) {
    TCollectionItem::DefineProperties(Filer);
    Filer->DefineProperty(
        "TemplateFilename", [this](TReader& R) { TemplateFilename_ = R.ReadString(); },
        [this](TWriter& W) { W.WriteString(TemplateFilename_); }, !TemplateFilename_.empty());
}

std::string TDIBImagesItem::GetDisplayName() const { return DisplayName_; }

void TDIBImagesItem::SetDisplayName(const std::string& Value) {
    DisplayName_ = Value;
    TCollectionItem::SetDisplayName(Value);
}

void TDIBImagesItem::SetIndex(int Value) {
    const int from = Index();
    TCollectionItem::SetIndex(Value);
    const int to = Index();
    if (auto* images = dynamic_cast<TDIBImages*>(Collection()); images && from != to)
        images->ItemMoved(from, to);
}

void TDIBImagesItem::DIBChanged(TObject* /*Sender*/) {
    if (auto* images = dynamic_cast<TDIBImages*>(Collection())) images->ItemNotify(Index(), true);
}

TMemoryDIB* TDIBImagesItem::DIB() {
    if (!Retrieved_) Retrieve();
    return DIB_.get();
}

void TDIBImagesItem::SetDIB(TMemoryDIB* Value) { DIB_->Assign(Value); }

void TDIBImagesItem::SetImageRetrieval(TDIBImageRetrieval Value) {
    ImageRetrieval_ = Value;
    // Pictures that come from files are not written into the form.
    DIB_->SetStoreData(Value == irInternal);
}

std::string TDIBImagesItem::TranslatePath(const std::string& Path) {
    if (Path.empty() || !OnTranslateImagePath_) return Path;
    const std::size_t split = nameStart(Path);
    std::string dir = Path.substr(0, split);
    const std::string name = Path.substr(split);
    OnTranslateImagePath_(this, dir);
    if (dir.empty()) return name;
    if (!isDelim(dir.back())) dir += kPathDelim;
    return dir + name;
}

void TDIBImagesItem::Retrieve() {
    // Retrieving raises a change event; a link that draws in its handler
    // reads the DIB again, which must not start a second import.
    if (Retrieved_ || Retrieving_) return;
    if (ImageRetrieval_ == irInternal) {
        Retrieved_ = true;
        return;
    }
    if (DIB_->ImageFilename().empty()) return;

    Retrieving_ = true;
    struct TClearFlag {
        bool& Flag;
        ~TClearFlag() { Flag = false; }
    } clear{Retrieving_};
    // One change event for picture and mask, also when an import fails.
    DIB_->BeginUpdate();
    try {
        DIB_->ImportPicture(TranslatePath(DIB_->ImageFilename()));
        if (!DIB_->MaskFilename().empty()) DIB_->ImportMask(TranslatePath(DIB_->MaskFilename()));
        Retrieved_ = true;
    } catch (...) {
        DIB_->EndUpdate();
        throw;
    }
    DIB_->EndUpdate();
}

// ---- TDIBImages -----------------------------------------------------------

TW_IMPLEMENT_CLASS(TDIBImages) {}

TDIBImages::TDIBImages(TPersistent* Owner, TClass ItemClass) : TOwnedCollection(Owner, ItemClass) {}

TDIBImages::~TDIBImages() { Clear(); }

void TDIBImages::Update(TCollectionItem* Item) { TOwnedCollection::Update(Item); }

void TDIBImages::ItemNotify(int Index, bool Changed) {
    if (auto* list = dynamic_cast<TCustomDIBImageList*>(GetOwner()))
        list->NotifyLinks(Index, Changed);
}

void TDIBImages::ItemMoved(int From, int To) {
    if (auto* list = dynamic_cast<TCustomDIBImageList*>(GetOwner())) list->MoveLinks(From, To);
}

TDIBImagesItem* TDIBImages::FindOrAddTemplate(const std::string& Template, int N) {
    const std::string key = Template + ":" + std::to_string(N);
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->TemplateFilename() == key) return Items(i);
    TDIBImagesItem* item = Add();
    item->SetTemplateFilename(key);
    return item;
}

// ---- TCustomDIBImageList --------------------------------------------------

TW_IMPLEMENT_CLASS(TCustomDIBImageList) {
    b.Property("DIBImages", &TCustomDIBImageList::DIBImages, &TCustomDIBImageList::SetDIBImages);
}

TCustomDIBImageList::TCustomDIBImageList(TComponent* Owner)
    : TComponent(Owner),
      DIBImages_(std::make_unique<TDIBImages>(this, ItemClass())),
      SharedView_(std::make_unique<TMemoryDIB>(1, 1)) {
    DIBImages_->SetPropName("DIBImages");
}

TCustomDIBImageList::~TCustomDIBImageList() {
    for (std::size_t i = Links_.size(); i-- > 0;)
        if (i < Links_.size()) Links_[i]->SetDIBImageList(nullptr);
    Links_.clear();
    DIBImages_.reset();
    SharedView_.reset();
}

TClass TCustomDIBImageList::ItemClass() { return TDIBImagesItem::StaticClass(); }

void TCustomDIBImageList::Loaded() {
    TComponent::Loaded();
    for (int i = 0; i < DIBImages_->Count(); ++i) {
        TDIBImagesItem* item = DIBImages_->Items(i);
        if (item->ImageRetrieval() == irLoadOnStart) item->Retrieve();
    }
}

TMemoryDIB* TCustomDIBImageList::GetDIB(int Index) {
    SharedView_->UseBitsOf(DIBImages_->Items(Index)->DIB());
    return SharedView_.get();
}

bool TCustomDIBImageList::GetImage(int Index, TMemoryDIB*& DIB) {
    if (!IsIndexValid(Index) || !DIBImages_->Items(Index)->DIB()->HasBits()) return false;
    DIB = GetDIB(Index);
    return true;
}

bool TCustomDIBImageList::IsIndexValid(int Index) const {
    return Index >= 0 && Index < DIBImages_->Count();
}

bool TCustomDIBImageList::IsRegistered(const TDIBImageLink* Link) const {
    return std::find(Links_.begin(), Links_.end(), Link) != Links_.end();
}

void TCustomDIBImageList::RegisterLink(TDIBImageLink* Link) {
    if (!IsRegistered(Link)) Links_.push_back(Link);
    // The link's handler may free the link (which unregisters it): stop then.
    for (int n = 0; n < DIBImages_->Count() && IsRegistered(Link); ++n) Link->ImageChanged(n, true);
}

void TCustomDIBImageList::UnregisterLink(TDIBImageLink* Link) {
    auto it = std::find(Links_.begin(), Links_.end(), Link);
    if (it != Links_.end()) Links_.erase(it);
}

void TCustomDIBImageList::NotifyLinks(int Index, bool Changed) {
    // A handler may unregister links (or register new ones); walk a copy and
    // skip links that have left in the meantime.
    const std::vector<TDIBImageLink*> links = Links_;
    for (TDIBImageLink* link : links)
        if (IsRegistered(link)) link->ImageChanged(Index, Changed);
}

void TCustomDIBImageList::MoveLinks(int From, int To) {
    // Renumbering calls handlers, which may (un)register or free links: walk
    // a copy and skip the links that have left in the meantime.
    const std::vector<TDIBImageLink*> links = Links_;
    for (TDIBImageLink* link : links) {
        if (!IsRegistered(link)) continue;
        const int i = link->DIBIndex();
        int n = i;
        if (i == From)
            n = To;
        else if (From < To && i > From && i <= To)
            n = i - 1;
        else if (From > To && i >= To && i < From)
            n = i + 1;
        if (n != i) link->SetDIBIndex(n);
    }
}

TW_IMPLEMENT_CLASS(TDIBImageList) {}

// ---- TDIBImageLink --------------------------------------------------------

TW_IMPLEMENT_CLASS(TDIBImageLink) {
    b.Property("DIBImageList", &TDIBImageLink::DIBImageList, &TDIBImageLink::SetDIBImageList);
    b.Property("DIBIndex", &TDIBImageLink::DIBIndex, &TDIBImageLink::SetDIBIndex);
}

TDIBImageLink::TDIBImageLink(TComponent* Owner) : Owner_(Owner) {}

TDIBImageLink::~TDIBImageLink() {
    if (DIBImageList_) DIBImageList_->UnregisterLink(this);
}

void TDIBImageLink::SetDIBImageList(TCustomDIBImageList* Value) {
    if (DIBImageList_) DIBImageList_->UnregisterLink(this);
    DIBImageList_ = Value;
    if (DIBImageList_) DIBImageList_->RegisterLink(this);
}

void TDIBImageLink::SetDIBIndex(int Value) {
    const int old = DIBIndex_;
    DIBIndex_ = Value;
    if (Value != old) ImageChanged(Value, true);
}

void TDIBImageLink::AssignTo(TPersistent* Dest) {
    if (auto* link = dynamic_cast<TDIBImageLink*>(Dest)) {
        link->SetDIBIndex(DIBIndex_);
        link->SetDIBImageList(DIBImageList_);
        return;
    }
    TPersistent::AssignTo(Dest);
}

bool TDIBImageLink::GetImage(TMemoryDIB*& DIB) const {
    return DIBImageList_ && DIBImageList_->GetImage(DIBIndex_, DIB);
}

bool TDIBImageLink::IsValid() const {
    return DIBImageList_ && DIBImageList_->IsIndexValid(DIBIndex_);
}

void TDIBImageLink::ImageChanged(int Index, bool Changed) {
    if (Changed && Index != DIBIndex_) return;
    if (!Changed && Index > DIBIndex_) return;
    if (Owner_ && Owner_->IsDestroying()) return;
    if (!Changed && Index < DIBIndex_) {
        --DIBIndex_;
        return;
    }
    if (OnImageChanged_) OnImageChanged_(this, Index, Changed);
    if (!Changed && Index == DIBIndex_) DIBIndex_ = -1;
}
