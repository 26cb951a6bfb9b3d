float a : ALPHA = 1;
vertex_shader v %{ void main(){} %}
fragment_shader f %{ void main(){} %}
technique T < string SYS_VType = "HudVtx"; > { pass p < string x = "y"; > { ZEnable = false; VertexShader = v; FragmentShader = f; } }
