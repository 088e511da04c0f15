// The handler object: one per thumbnail the shell asks for, used by one
// thread at a time (the apartment model); it keeps the object's bytes from
// Initialize to its release.
#include "viewers/explorer/thumbnail_provider.h"

#include <propsys.h>
#include <thumbcache.h>

#include <cstdint>
#include <new>

#include "object/forms.h"
#include "platform/fp_guard.h"
#include "render/thumbnail.h"
#include "viewers/explorer/module.h"
#include "viewers/explorer/premultiply.h"
#include "viewers/explorer/stream_reader.h"

namespace qavren::explorer {
namespace {

// The one translation from the core's Status to the handler's HRESULTs.
HRESULT HresultFrom(Status s) {
    switch (s) {
    case status::kNoMemory: return E_OUTOFMEMORY;
    case status::kReadError: return STG_E_READFAULT;
    default: return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
    }
}

// The shell's stream as the reader's ByteStream; keeps the stream's own
// failure to hand it on.
class StreamPieces final : public ByteStream {
public:
    explicit StreamPieces(IStream* stream) : stream_(stream) {}
    HRESULT failure = S_OK;

    bool Read(void* destination, uint32_t want, uint32_t* got) override {
        ULONG n = 0;
        const HRESULT hr = stream_->Read(destination, want, &n);
        if (FAILED(hr)) {
            failure = hr;
            return false;
        }
        *got = n;
        return true;
    }

private:
    IStream* stream_;
};

class ThumbnailProvider final : public IInitializeWithStream, public IThumbnailProvider {
public:
    ThumbnailProvider() { ObjectCreated(); }
    ~ThumbnailProvider() { ObjectDestroyed(); }
    ThumbnailProvider(const ThumbnailProvider&) = delete;
    ThumbnailProvider& operator=(const ThumbnailProvider&) = delete;

    // IUnknown
    IFACEMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IInitializeWithStream))) {
            *object = static_cast<IInitializeWithStream*>(this);
        } else if (IsEqualIID(iid, __uuidof(IThumbnailProvider))) {
            *object = static_cast<IThumbnailProvider*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    IFACEMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IInitializeWithStream: the whole object is read here, so that the
    // stream is not held and a foreign or damaged file is refused at once.
    IFACEMETHODIMP Initialize(IStream* stream, DWORD) override {
        if (!stream) return E_INVALIDARG;
        if (!object_.empty()) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
        uint64_t hint = kUnknownSize;
        STATSTG stat{};
        if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) hint = stat.cbSize.QuadPart;
        StreamPieces pieces(stream);
        const Status read = ReadWholeStream(pieces, hint, &object_);
        if (Failed(read)) return FAILED(pieces.failure) ? pieces.failure : HresultFrom(read);
        const Status form = CheckForm(object_, kEveryForm);
        if (form != status::kDrawnForm) {
            object_.Release();
            return HresultFrom(form);
        }
        return S_OK;
    }

    // IThumbnailProvider: cx × cx pixels, 32-bit top-down BGRA with the
    // colours premultiplied by alpha.
    IFACEMETHODIMP GetThumbnail(UINT cx, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) override {
        if (!bitmap || !alpha) return E_POINTER;
        *bitmap = nullptr;
        *alpha = WTSAT_UNKNOWN;
        if (object_.empty()) return E_UNEXPECTED;
        if (cx == 0 || cx > INT32_MAX) return E_INVALIDARG;
        const auto side = static_cast<int32_t>(cx);
        RgbaPicture picture;
        {
            FloatingPointGuard fp;
            if (const Status s = DrawThumbnail(object_, side, side, &picture); Failed(s)) return HresultFrom(s);
        }
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = picture.width();
        info.bmiHeader.biHeight = -picture.height();
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP made = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!made || !bits) {
            if (made) DeleteObject(made);
            return E_OUTOFMEMORY;
        }
        CopyPremultiplied(picture, static_cast<uint8_t*>(bits));
        *bitmap = made;
        *alpha = WTSAT_ARGB;
        return S_OK;
    }

private:
    LONG refs_ = 1;
    ObjectBuffer object_;
};

}  // namespace

HRESULT CreateThumbnailProvider(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    auto* provider = new (std::nothrow) ThumbnailProvider;
    if (!provider) return E_OUTOFMEMORY;
    const HRESULT hr = provider->QueryInterface(iid, object);
    provider->Release();
    return hr;
}

}  // namespace qavren::explorer
