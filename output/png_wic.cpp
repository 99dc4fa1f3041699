// PNG through the Windows Imaging Component's PNG encoder, into a stream in memory: the same
// one-bit rows as the libpng writer, as black-and-white pixels for the default colours or as a
// two-entry palette (alpha included) for others, and the resolution when one is given. What the
// component makes of these is its own: docs/windows.md lists how Wine's files differ from the
// libpng ones.
#include <windows.h>
// <windows.h> first: these need its types.
#include <objbase.h>
#include <wincodec.h>

#include <cstring>
#include <memory>
#include <new>

#include "output/pixel_rows.h"
#include "output/png_file.h"

namespace qr {

namespace {

constexpr UINT kPaletteSize = 2;  // the dark colour, then the light one

// Releases a COM interface when it goes.
template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    ~ComPointer() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    Interface** out() { return &pointer_; }

private:
    Interface* pointer_ = nullptr;
};

// COM for this thread while the object lives: initialised here when the caller has not, left as
// the caller has it otherwise.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    // False only when COM cannot be used on this thread at all.
    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

// `colour` (0xRRGGBBAA) as WIC's 0xAARRGGBB.
WICColor ToWicColor(Rgba colour) {
    return AlphaOf(colour) << 24 | RedOf(colour) << 16 | GreenOf(colour) << 8 | BlueOf(colour);
}

// The frame's pixel format, palette and resolution. Returns false when the component refuses one.
bool DescribeFrame(IWICImagingFactory* factory, IWICBitmapFrameEncode* frame,
                   const RenderOptions& options) {
    WICPixelFormatGUID format =
        options.DefaultColours() ? GUID_WICPixelFormatBlackWhite : GUID_WICPixelFormat1bppIndexed;
    const WICPixelFormatGUID wanted = format;
    if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, wanted)) return false;
    if (!options.DefaultColours()) {
        ComPointer<IWICPalette> palette;
        WICColor colours[kPaletteSize] = {ToWicColor(options.dark), ToWicColor(options.light)};
        if (FAILED(factory->CreatePalette(palette.out())) ||
            FAILED(palette->InitializeCustom(colours, kPaletteSize)) ||
            FAILED(frame->SetPalette(palette.get()))) {
            return false;
        }
    }
    if (options.dpi != 0 && FAILED(frame->SetResolution(options.dpi, options.dpi))) return false;
    return true;
}

// Encodes the image into `stream`. Returns false when any step fails.
bool Encode(IWICImagingFactory* factory, IStream* stream, int width, int height,
            const ModuleMatrix& modules, const RenderOptions& options) {
    const UINT rowBytes = static_cast<UINT>(PixelRowBytes(ImageSide(width, options)));
    const UINT bandBytes = rowBytes * static_cast<UINT>(options.scale);
    std::unique_ptr<unsigned char[]> band(new (std::nothrow) unsigned char[bandBytes]);
    if (!band) return false;

    ComPointer<IWICBitmapEncoder> encoder;
    ComPointer<IWICBitmapFrameEncode> frame;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) ||
        FAILED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.out(), nullptr)) ||
        FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(static_cast<UINT>(ImageSide(width, options)),
                              static_cast<UINT>(ImageSide(height, options)))) ||
        !DescribeFrame(factory, frame.get(), options)) {
        return false;
    }
    // One band of `scale` identical rows per module row.
    BandPixels pixels(width, height, modules, options);
    for (int r = 0; r < height + 2 * options.margin; ++r) {
        pixels.Compose(r, band.get(), static_cast<int>(rowBytes));
        for (int t = 1; t < options.scale; ++t) {
            std::memcpy(band.get() + t * rowBytes, band.get(), rowBytes);
        }
        if (FAILED(frame->WritePixels(static_cast<UINT>(options.scale), rowBytes, bandBytes,
                                      band.get()))) {
            return false;
        }
    }
    return SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// Copies what was written to `stream` (made on memory by CreateStreamOnHGlobal) into `png`.
bool CopyStream(IStream* stream, std::string* png) {
    STATSTG status;
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Stat(&status, STATFLAG_NONAME)) ||
        FAILED(GetHGlobalFromStream(stream, &memory))) {
        return false;
    }
    const auto size = static_cast<std::size_t>(status.cbSize.QuadPart);
    const void* bytes = GlobalLock(memory);
    if (bytes == nullptr) return false;
    bool copied = true;
    try {
        png->assign(static_cast<const char*>(bytes), size);
    } catch (const std::bad_alloc&) {
        copied = false;
    }
    GlobalUnlock(memory);
    return copied;
}

}  // namespace

bool ComposePng(int width, int height, const ModuleMatrix& modules, const RenderOptions& options,
                std::string* png) {
    png->clear();
    const ComScope com;
    if (!com.Usable()) return false;
    ComPointer<IWICImagingFactory> factory;
    ComPointer<IStream> stream;
    const bool written = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr,
                                                    CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                                    reinterpret_cast<void**>(factory.out()))) &&
                         SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out())) &&
                         Encode(factory.get(), stream.get(), width, height, modules, options) &&
                         CopyStream(stream.get(), png);
    if (!written) png->clear();
    return written;
}

}  // namespace qr
