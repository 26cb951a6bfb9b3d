// The effect of billboards and 3D text: positions in world units through the camera.
// Vertex format "HudVtx" (x, y, z and a D3DCOLOR; u, v and a per-vertex alpha).
// Techniques:
//   Billboard - the vertex colour times the "diffuse" texture, alpha scaled by the
//               vertex alpha (Billboard, BillboardY)
//   Text3D    - the text widget's glyph quads, moved by "offset" in layout units before
//               the world matrix places them; "cadd" and "alpha" as for the HUD text
// Both blend over what is drawn, skip fully transparent pixels, test depth without
// writing it, and draw both faces.

mat4 worldViewProj : WORLDVIEWPROJECTION;
vec2 offset : OFFSET = (0, 0);
float alpha : ALPHA = 1;
float cadd : CADD = 0;
sampler2D diffuse : DIFFUSE {
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

vertex_shader billboardVS %{
layout(location = QX_POSITION) in vec3 inPos;
layout(location = QX_COLOR0) in vec4 inColor;
layout(location = QX_TEXCOORD0) in vec3 inUVA;
out vec4 vColor;
out vec2 vUV;
void main() {
    gl_Position = vec4(inPos, 1.0) * worldViewProj;
    vColor = vec4(inColor.rgb, inColor.a * inUVA.z);
    vUV = inUVA.xy;
}
%}

vertex_shader text3dVS %{
layout(location = QX_POSITION) in vec3 inPos;
layout(location = QX_COLOR0) in vec4 inColor;
layout(location = QX_TEXCOORD0) in vec3 inUVA;
out vec4 vColor;
out vec2 vUV;
void main() {
    gl_Position = vec4(inPos.xy + offset, 0.0, 1.0) * worldViewProj;
    vColor = vec4(inColor.rgb, inColor.a * inUVA.z * alpha);
    vUV = inUVA.xy;
}
%}

fragment_shader billboardFS %{
in vec4 vColor;
in vec2 vUV;
void main() {
    qx_Color = texture(diffuse, vUV) * vColor;
}
%}

fragment_shader text3dFS %{
in vec4 vColor;
in vec2 vUV;
void main() {
    vec4 t = texture(diffuse, vUV);
    t.rgb = min(t.rgb + vec3(cadd), vec3(1.0));
    qx_Color = t * vColor;
}
%}

technique Billboard <
    string SYS_VType = "HudVtx";
    string OBJ_diffuse = "DIFFUSE";
>
{
    pass p0 {
        ZEnable = true;
        ZWriteEnable = false;
        CullMode = None;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        AlphaTestEnable = true;
        AlphaFunc = Greater;
        AlphaRef = 0;
        VertexShader = billboardVS;
        FragmentShader = billboardFS;
    }
}

technique Text3D <
    string SYS_VType = "HudVtx";
    string OBJ_diffuse = "DIFFUSE";
    string OBJ_alpha = "ALPHA:1";
    string OBJ_cadd = "CADD:0";
    string OBJ_offset = "OFFSET:0 0";
>
{
    pass p0 {
        ZEnable = true;
        ZWriteEnable = false;
        CullMode = None;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        AlphaTestEnable = true;
        AlphaFunc = Greater;
        AlphaRef = 0;
        VertexShader = text3dVS;
        FragmentShader = text3dFS;
    }
}
