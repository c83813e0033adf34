// Direct3D clip z runs from 0 to w, GL's from -w to w.
vec4 veskarClip(vec4 d3dClip)
{
    return vec4(d3dClip.xy, 2.0 * d3dClip.z - d3dClip.w, d3dClip.w);
}
