#version 330 core
// Overlay text: glyph quads in pixels of the viewport, y down.
layout(location = 0) in vec2 inPixel;
layout(location = 2) in vec2 inTexCoord;
uniform vec4 viewport;
out vec2 texCoord;
void main()
{
    vec2 p = (inPixel - viewport.xy) / viewport.zw;
    gl_Position = vec4(p.x * 2.0 - 1.0, 1.0 - p.y * 2.0, 0.0, 1.0);
    texCoord = inTexCoord;
}
