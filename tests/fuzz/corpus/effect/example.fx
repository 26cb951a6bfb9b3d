// A textured, tinted quad in world space, and its wireframe.
mat4 wvp : WORLDVIEWPROJECTION;
vec4 tint : DIFFUSECOLOR = (1, 1, 1, 1);
sampler2D diffuse : DIFFUSE {
    MinFilter = Linear; MagFilter = Linear; MipFilter = Linear;
    AddressU = Wrap; AddressV = Wrap;
};

common %{
vec4 applyTint(vec4 c) { return c * tint; }
%}

vertex_shader worldVS %{
layout(location = QX_POSITION) in vec3 inPos;
layout(location = QX_TEXCOORD0) in vec2 inUV;
out vec2 vUV;
void main() {
    gl_Position = vec4(inPos, 1.0) * wvp;
    vUV = inUV;
}
%}

fragment_shader texturedFS %{
in vec2 vUV;
void main() {
    qx_Color = applyTint(texture(diffuse, vUV));
}
%}

fragment_shader flatFS %{
void main() {
    qx_Color = tint;
}
%}

technique Textured < string SYS_VType = "MatPVtx"; string OBJ_diffuse = "DIFFUSE:white.png"; >
{
    pass p0 < string tint = "DIFFUSECOLOR:1 1 1 1"; >
    {
        ZEnable = true;
        ZWriteEnable = true;
        FillMode = Solid;
        AlphaBlendEnable = false;
        AlphaTestEnable = true;
        AlphaFunc = Greater;
        AlphaRef = 8;
        VertexShader = worldVS;
        FragmentShader = texturedFS;
    }
    pass outline
    {
        ZWriteEnable = false;
        FillMode = Wireframe;
        VertexShader = worldVS;
        FragmentShader = flatFS;
    }
}
