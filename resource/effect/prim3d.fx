// The effect of the 3D HUD primitives: positions in world units through the camera.
// Techniques:
//   MatPlane - "MatPVtx": the "diffuse" texture on the tiled coordinates, its alpha
//              times the alpha of "alphatex" on the plain ones (HUDMatPlane)
//   Sphere   - "RayVtx": the vertex colour, darker where the surface turns away from
//              the eye (PlantSphere)
//   Ray      - "RayVtx": the vertex colour as it is, alpha included (HUDRay)
//   Ribbon   - "HudVtx": the vertex colour times the "diffuse" texture, alpha scaled by
//              the vertex alpha (PolyLineS, PolyLineTR)
// All blend over what is drawn, skip fully transparent pixels, test depth without
// writing it, and draw both faces.

mat4 world : WORLD;
mat4 worldViewProj : WORLDVIEWPROJECTION;
vec3 eyeDir : EYEDIR = (0, 0, 1);
sampler2D diffuse : DIFFUSE {
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};
sampler2D alphatex : ALPHATEX {
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Clamp;
    AddressV = Clamp;
};

vertex_shader matPlaneVS %{
layout(location = QX_POSITION) in vec3 inPos;
layout(location = QX_TEXCOORD0) in vec2 inTiled;
layout(location = QX_TEXCOORD1) in vec2 inPlain;
out vec2 vTiled;
out vec2 vPlain;
void main() {
    gl_Position = vec4(inPos, 1.0) * worldViewProj;
    vTiled = inTiled;
    vPlain = inPlain;
}
%}

fragment_shader matPlaneFS %{
in vec2 vTiled;
in vec2 vPlain;
void main() {
    vec4 c = texture(diffuse, vTiled);
    c.a *= texture(alphatex, vPlain).a;
    qx_Color = c;
}
%}

vertex_shader solidVS %{
layout(location = QX_POSITION) in vec3 inPos;
layout(location = QX_NORMAL) in vec3 inNormal;
layout(location = QX_COLOR0) in vec4 inColor;
out vec4 vColor;
out vec3 vNormal;
void main() {
    gl_Position = vec4(inPos, 1.0) * worldViewProj;
    vNormal = inNormal * mat3(world);
    vColor = inColor;
}
%}

fragment_shader sphereFS %{
in vec4 vColor;
in vec3 vNormal;
void main() {
    float facing = abs(dot(normalize(vNormal), normalize(eyeDir)));
    qx_Color = vec4(vColor.rgb * (0.5 + 0.5 * facing), vColor.a);
}
%}

fragment_shader rayFS %{
in vec4 vColor;
in vec3 vNormal;
void main() {
    qx_Color = vColor;
}
%}

vertex_shader ribbonVS %{
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

fragment_shader ribbonFS %{
in vec4 vColor;
in vec2 vUV;
void main() {
    qx_Color = texture(diffuse, vUV) * vColor;
}
%}

technique MatPlane <
    string SYS_VType = "MatPVtx";
    string OBJ_diffuse = "DIFFUSE";
    string OBJ_alphatex = "ALPHATEX";
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
        VertexShader = matPlaneVS;
        FragmentShader = matPlaneFS;
    }
}

technique Sphere < string SYS_VType = "RayVtx"; >
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
        VertexShader = solidVS;
        FragmentShader = sphereFS;
    }
}

technique Ray < string SYS_VType = "RayVtx"; >
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
        VertexShader = solidVS;
        FragmentShader = rayFS;
    }
}

technique Ribbon <
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
        VertexShader = ribbonVS;
        FragmentShader = ribbonFS;
    }
}
