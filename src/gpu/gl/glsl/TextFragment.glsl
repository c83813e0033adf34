#version 330 core
// The glyph atlas's alpha is the coverage of the text colour.
in vec2 texCoord;
uniform sampler2D atlas;
uniform vec4 colour;
out vec4 fragColour;
void main()
{
    fragColour = vec4(colour.rgb, colour.a * texture(atlas, texCoord).a);
}
