// Per-pixel Phong shading in view space, textured by DiffuseMap.
// Vertex attributes and the helpers veskarClip and veskarAlphaTest are the
// device's (see src/platform/GlDevice.h); matrices are Direct3D row-vector
// matrices, so points are multiplied from the left.
#technique TShader
#parameter float4x4 matWorldView
#parameter float4x4 matWorldViewInverseTranspose
#parameter float4x4 matWorldViewProjection
#parameter float4 fvEyePosition
#parameter float4 fvLightPosition
#parameter float4 fvAmbient
#parameter float4 fvDiffuse
#parameter float4 fvSpecular
#parameter texture DiffuseMap

#stage vertex
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;

uniform mat4 matWorldView;
uniform mat4 matWorldViewInverseTranspose;
uniform mat4 matWorldViewProjection;

out vec3 viewPosition;
out vec3 viewNormal;
out vec2 texCoord;

void main()
{
    gl_Position = veskarClip(vec4(inPosition, 1.0) * matWorldViewProjection);
    viewPosition = (vec4(inPosition, 1.0) * matWorldView).xyz;
    viewNormal = (vec4(inNormal, 0.0) * matWorldViewInverseTranspose).xyz;
    texCoord = inTexCoord;
}

#stage fragment
in vec3 viewPosition;
in vec3 viewNormal;
in vec2 texCoord;

uniform vec4 fvEyePosition;
uniform vec4 fvLightPosition;
uniform vec4 fvAmbient;
uniform vec4 fvDiffuse;
uniform vec4 fvSpecular;
uniform sampler2D DiffuseMap;

out vec4 fragColour;

// Highlights a little broader than a mirror's; models are mostly skin and cloth.
const float kShininess = 25.0;

void main()
{
    vec4 texel = texture(DiffuseMap, texCoord);
    veskarAlphaTest(texel.a);

    vec3 n = normalize(viewNormal);
    vec3 toEye = normalize(fvEyePosition.xyz - viewPosition);
    vec3 toLight = normalize(fvLightPosition.xyz - viewPosition);
    float diffuse = max(dot(n, toLight), 0.0);
    vec3 reflected = reflect(-toLight, n);
    // No highlight on the side turned away from the light.
    float specular = diffuse > 0.0 ? pow(max(dot(reflected, toEye), 0.0), kShininess) : 0.0;

    vec3 colour = texel.rgb * (fvAmbient.rgb + fvDiffuse.rgb * diffuse) + fvSpecular.rgb * specular;
    fragColour = vec4(colour, texel.a);
}
