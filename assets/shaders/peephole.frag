#version 110
// Peephole: where the drawn sprite is opaque, a background texture shows through, fixed to the
// screen and scrolled by xOffset/yOffset (in texture units, repeating). The sprite's own
// brightness shades the background and its lightest parts glow, so its dark lines and its
// lettering stay readable.
uniform sampler2D currentTexture;
uniform sampler2D bgTexture;
uniform float xOffset;
uniform float yOffset;

void main()
{
    vec4 sprite = texture2D(currentTexture, gl_TexCoord[0].xy);
    // One background tile per 512 screen pixels, counted from the top-left corner.
    vec2 screen = vec2(gl_FragCoord.x, 1080.0 - gl_FragCoord.y) / 512.0;
    vec4 background = texture2D(bgTexture, fract(screen + vec2(xOffset, yOffset)));
    float luma = dot(sprite.rgb, vec3(0.299, 0.587, 0.114));
    vec3 colour = background.rgb * (0.2 + 0.8 * luma) + vec3(0.55) * pow(luma, 4.0);
    gl_FragColor = vec4(colour, sprite.a) * gl_Color;
}
