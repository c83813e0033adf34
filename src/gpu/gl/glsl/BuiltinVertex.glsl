#version 330 core
// The device's own program for draws without an effect: the vertex colour
// (or opaque white) modulated by the stage 0 texture.
layout(location = 0) in vec3 inPosition;
layout(location = 2) in vec2 inTexCoord;
layout(location = 4) in vec4 inColour;
uniform mat4 worldViewProjection;
out vec4 colour;
out vec2 texCoord;
void main()
{
    vec4 p = vec4(inPosition, 1.0) * worldViewProjection;
    gl_Position = vec4(p.xy, 2.0 * p.z - p.w, p.w);
    colour = inColour;
    texCoord = inTexCoord;
}
