// The device's own program for draws without an effect. The device puts
// "#version 330 core" and the alpha test prelude before this stage.
in vec4 colour;
in vec2 texCoord;
uniform sampler2D stage0;
uniform int useTexture;
out vec4 fragColour;
void main()
{
    vec4 c = colour;
    if (useTexture != 0) {
        vec4 t = texture(stage0, texCoord);
        c = vec4(c.rgb * t.rgb, t.a);
    }
    veskarAlphaTest(c.a);
    fragColour = c;
}
