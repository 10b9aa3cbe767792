// Pictures packed as PNG resources, decoded once through WIC and drawn scaled to the DPI.
#include "win32ui/Win32Ui.h"

#include <shlwapi.h>
#include <wincodec.h>

#include <cstdint>

namespace velmora::win32ui {

namespace {
template <typename T> void Release(T*& object)
{
    if (object != nullptr) object->Release();
    object = nullptr;
}

Picture DecodePicture(int resourceId)
{
    Picture picture;
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
    const auto* bytes = loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) return picture;
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    UINT width = 0;
    UINT height = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), SizeofResource(nullptr, found))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                        WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter->GetSize(&width, &height)) && width > 0 && height > 0) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = static_cast<LONG>(width);
        info.bmiHeader.biHeight = -static_cast<LONG>(height); // top-down, as WIC writes the rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap != nullptr &&
            SUCCEEDED(converter->CopyPixels(nullptr, width * 4, width * height * 4, static_cast<BYTE*>(bits)))) {
            picture = Picture{bitmap, static_cast<int>(width), static_cast<int>(height)};
        } else if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
    }
    Release(converter);
    Release(frame);
    Release(decoder);
    Release(stream);
    Release(factory);
    return picture;
}
} // namespace

const Picture* ResourcePicture(int resourceId)
{
    static std::map<int, Picture> pictures;
    auto found = pictures.find(resourceId);
    if (found == pictures.end()) found = pictures.emplace(resourceId, DecodePicture(resourceId)).first;
    return found->second.bitmap != nullptr ? &found->second : nullptr;
}

void DrawPicture(HDC dc, const Picture& picture, int x, int y, UINT dpi)
{
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, picture.bitmap);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, x, y, Scale(picture.width, dpi), Scale(picture.height, dpi), source, 0, 0, picture.width,
               picture.height, blend);
    SelectObject(source, old);
    DeleteDC(source);
}

} // namespace velmora::win32ui
