#version 110
// Water ripple: the picture waves in both directions; `time` moves the waves, `speed` sets how
// fast they travel, `force` how far they push, `alpha` scales the opacity.
uniform sampler2D currentTexture;
uniform float speed;
uniform float force;
uniform float alpha;
uniform float time;

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    float phase = time * speed;
    vec2 offset = vec2(sin(uv.y * 28.0 + phase) + 0.5 * sin(uv.y * 71.0 - phase * 1.7),
                       cos(uv.x * 19.0 + phase * 0.8) + 0.5 * cos(uv.x * 53.0 + phase * 1.3));
    offset *= force * 0.0012;
    vec4 colour = texture2D(currentTexture, uv + offset);
    // Light catches the wave crests.
    float crest = sin(uv.y * 28.0 + phase) * cos(uv.x * 19.0 + phase * 0.8);
    colour.rgb += 0.07 * crest * colour.a;
    gl_FragColor = vec4(colour.rgb, colour.a * alpha) * gl_Color;
}
