#include <algorithm>

#include "crc32.h"
#include "harness.h"

namespace harness {

Pixels PaintOffscreen(int width, int height, const OffscreenPainter& paint) {
    if (width <= 0 || height <= 0)
        return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as Pixels holds its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    Pixels pixels;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        auto* source = static_cast<std::uint32_t*>(bits);
        paint(memory, screen, source);
        GdiFlush();
        pixels.width = width;
        pixels.height = height;
        pixels.rgb.reserve(static_cast<size_t>(width) * height);
        for (int i = 0; i < width * height; ++i)
            pixels.rgb.push_back(source[i] & 0xFFFFFF);
        SelectObject(memory, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

Pixels CaptureScreen(const RECT& wanted) {
    // Under Wine a copy that reaches beyond the screen comes back all black, and a maximised
    // window's frame does.
    const RECT display{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT area{};
    if (!IntersectRect(&area, &wanted, &display))
        return {};
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    return PaintOffscreen(width, height, [&](HDC memory, HDC screen, std::uint32_t*) {
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    });
}

Pixels CaptureWindow(HWND window) {
    RECT area;
    if (!GetWindowRect(window, &area))
        return {};
    return CaptureScreen(area);
}

RECT ClientRectOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

Pixels CaptureClient(HWND window) {
    return CaptureScreen(ClientRectOnScreen(window));
}

namespace {

void Append16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Append32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Append16(out, value & 0xFFFF);
    Append16(out, value >> 16);
}

void Append32BigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendChunk(std::vector<std::uint8_t>& png, const char* type,
                 const std::vector<std::uint8_t>& data) {
    Append32BigEndian(png, static_cast<std::uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    Append32BigEndian(png, UpdateCrc32(kCrc32Start, png.data() + start, png.size() - start));
}

// A zlib stream of stored (uncompressed) blocks: larger files, but no compressor needed.
std::vector<std::uint8_t> StoredZlib(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out{0x78, 0x01};
    size_t offset = 0;
    do {
        const size_t length = std::min<size_t>(65535, raw.size() - offset);
        const bool last = offset + length == raw.size();
        out.push_back(last ? 1 : 0);
        Append16(out, static_cast<std::uint32_t>(length));
        Append16(out, static_cast<std::uint32_t>(~length & 0xFFFF));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
                   raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
        offset += length;
    } while (offset < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    Append32BigEndian(out, (b << 16) | a);
    return out;
}

}  // namespace

bool SaveBmp(const Pixels& pixels, const std::wstring& path) {
    if (pixels.width <= 0 || pixels.height <= 0)
        return false;
    const std::uint32_t rowSize = (static_cast<std::uint32_t>(pixels.width) * 3 + 3) & ~3u;
    const std::uint32_t imageSize = rowSize * static_cast<std::uint32_t>(pixels.height);
    std::vector<std::uint8_t> file{'B', 'M'};
    Append32(file, 54 + imageSize);
    Append32(file, 0);
    Append32(file, 54);
    Append32(file, 40);
    Append32(file, static_cast<std::uint32_t>(pixels.width));
    Append32(file, static_cast<std::uint32_t>(pixels.height));
    Append16(file, 1);
    Append16(file, 24);
    Append32(file, BI_RGB);
    Append32(file, imageSize);
    Append32(file, 2835);
    Append32(file, 2835);
    Append32(file, 0);
    Append32(file, 0);
    for (int y = pixels.height - 1; y >= 0; --y) {
        const size_t rowStart = file.size();
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t rgb = pixels.at(x, y);
            file.push_back(static_cast<std::uint8_t>(rgb));
            file.push_back(static_cast<std::uint8_t>(rgb >> 8));
            file.push_back(static_cast<std::uint8_t>(rgb >> 16));
        }
        file.resize(rowStart + rowSize, 0);
    }
    return WriteFileBytes(path, file);
}

bool SavePng(const Pixels& pixels, const std::wstring& path) {
    if (pixels.width <= 0 || pixels.height <= 0)
        return false;
    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    Append32BigEndian(header, static_cast<std::uint32_t>(pixels.width));
    Append32BigEndian(header, static_cast<std::uint32_t>(pixels.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits per channel, RGB
    AppendChunk(png, "IHDR", header);
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<size_t>(pixels.height) * (1 + pixels.width * 3));
    for (int y = 0; y < pixels.height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t rgb = pixels.at(x, y);
            raw.push_back(static_cast<std::uint8_t>(rgb >> 16));
            raw.push_back(static_cast<std::uint8_t>(rgb >> 8));
            raw.push_back(static_cast<std::uint8_t>(rgb));
        }
    }
    AppendChunk(png, "IDAT", StoredZlib(raw));
    AppendChunk(png, "IEND", {});
    return WriteFileBytes(path, png);
}

}  // namespace harness
