#pragma once
// An OpenGL 3.3 core context with no window: EGL on Mesa's surfaceless
// platform, drawing into a framebuffer object of a fixed size. For tests and
// for rendering frames to image files.

#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

class HeadlessContext {
public:
    HeadlessContext() = default;
    ~HeadlessContext();
    HeadlessContext(const HeadlessContext&) = delete;
    HeadlessContext& operator=(const HeadlessContext&) = delete;

    // Makes the context current with its framebuffer bound; false with the
    // reason when EGL, the surfaceless platform or GL 3.3 core is missing.
    bool create(int width, int height, std::string& error);
    void release();
    bool makeCurrent();

    int width() const { return width_; }
    int height() const { return height_; }
    std::uint32_t framebuffer() const { return framebuffer_; }
    std::string renderer() const;

    // Waits for the drawing and returns the framebuffer as RGBA, rows top to bottom.
    std::vector<std::uint8_t> readPixels() const;
    // The framebuffer as a PNG file, written as every output is (whole or not
    // at all, nothing but a regular file replaced); false with the reason.
    bool writePng(const std::string& path, std::string& error) const;

private:
    void* display_ = nullptr;
    void* context_ = nullptr;
    std::uint32_t framebuffer_ = 0;
    std::uint32_t colour_ = 0;
    std::uint32_t depth_ = 0;
    int width_ = 0;
    int height_ = 0;
};

} // namespace veskar
