// Core profile has no alpha test; every fragment stage gets this instead.
// Uniforms start at 0, which leaves the test off until the device sets them.
// veskarAlphaFunc is the device's AlphaFunc in Direct3D's numbering (kCmpNever
// 1 to kCmpGreaterEqual 7 in Device.h; kCmpAlways 8 and 0 let every fragment pass).
uniform int veskarAlphaFunc;
uniform float veskarAlphaRef;
void veskarAlphaTest(float alpha)
{
    float a = floor(clamp(alpha, 0.0, 1.0) * 255.0 + 0.5);
    bool pass = true;
    switch (veskarAlphaFunc) {
    case 1: pass = false; break;
    case 2: pass = a < veskarAlphaRef; break;
    case 3: pass = a == veskarAlphaRef; break;
    case 4: pass = a <= veskarAlphaRef; break;
    case 5: pass = a > veskarAlphaRef; break;
    case 6: pass = a != veskarAlphaRef; break;
    case 7: pass = a >= veskarAlphaRef; break;
    default: break;
    }
    if (!pass) discard;
}
