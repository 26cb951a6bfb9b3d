// The effect of the HUD widgets: positions in screen pixels from the top-left corner.
// Vertex format "HudVtx": stream 0 holds x, y, z and a D3DCOLOR; stream 1 holds u, v and
// a per-vertex alpha. Techniques:
//   Textured - the vertex colour times the "diffuse" texture (plus "cadd" on its colour,
//              so alpha-only glyph pages draw in the vertex colour; "calpha" 1 takes the
//              texture's alpha from its red channel, where a HUDTextBB's back buffer
//              holds its glyphs' coverage)
//   Colored  - the vertex colour alone (frames, lines, meters)
// Both scale the alpha by the vertex alpha and by "alpha", move by "offset", blend over
// what is drawn and skip fully transparent pixels.

vec2 screenSize : SCREENSIZE = (640, 480);
vec2 offset : OFFSET = (0, 0);
float alpha : ALPHA = 1;
float cadd : CADD = 0;
float calpha : CALPHA = 0;
sampler2D diffuse : DIFFUSE {
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
    Default = 0xFFFFFFFF;
};

common %{
// Pixel coordinates to clip space. Edges that fall exactly on pixel centres (the
// half-pixel bands of the wire frames) must take the pixel below and to the right, as
// Direct3D's top-left rule has it; moving everything up and left by one sub-pixel step
// makes every rasterizer agree on that.
vec4 screenToClip(vec3 p) {
    vec2 s = (p.xy + offset - vec2(1.0 / 256.0)) / screenSize;
    return vec4(s.x * 2.0 - 1.0, 1.0 - s.y * 2.0, 0.0, 1.0);
}
%}

vertex_shader hudVS %{
layout(location = QX_POSITION) in vec3 inPos;
layout(location = QX_COLOR0) in vec4 inColor;
layout(location = QX_TEXCOORD0) in vec3 inUVA;
out vec4 vColor;
out vec2 vUV;
void main() {
    gl_Position = screenToClip(inPos);
    vColor = vec4(inColor.rgb, inColor.a * inUVA.z * alpha);
    vUV = inUVA.xy;
}
%}

fragment_shader texturedFS %{
in vec4 vColor;
in vec2 vUV;
void main() {
    vec4 t = texture(diffuse, vUV);
    t.a = mix(t.a, t.r, calpha);
    t.rgb = min(t.rgb + vec3(cadd), vec3(1.0));
    qx_Color = t * vColor;
}
%}

fragment_shader coloredFS %{
in vec4 vColor;
in vec2 vUV;
void main() {
    qx_Color = vColor;
}
%}

technique Textured <
    string SYS_VType = "HudVtx";
    string OBJ_diffuse = "DIFFUSE";
    string OBJ_alpha = "ALPHA:1";
    string OBJ_cadd = "CADD:0";
    string OBJ_calpha = "CALPHA:0";
    string OBJ_offset = "OFFSET:0 0";
>
{
    pass p0 {
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        BlendOp = Add;
        AlphaTestEnable = true;
        AlphaFunc = Greater;
        AlphaRef = 0;
        VertexShader = hudVS;
        FragmentShader = texturedFS;
    }
}

technique Colored <
    string SYS_VType = "HudVtx";
    string OBJ_alpha = "ALPHA:1";
    string OBJ_offset = "OFFSET:0 0";
>
{
    pass p0 {
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        BlendOp = Add;
        AlphaTestEnable = true;
        AlphaFunc = Greater;
        AlphaRef = 0;
        VertexShader = hudVS;
        FragmentShader = coloredFS;
    }
}
