#version 110
// Television static over the picture: moving snow, scanlines, lines jittering sideways and a
// bright bar rolling down the screen, all driven by `time`.
uniform sampler2D currentTexture;
uniform float time;

float hash(vec2 p)
{
    return fract(sin(dot(p, vec2(12.9898, 78.233))) * 43758.5453);
}

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    vec2 pixel = floor(gl_FragCoord.xy);
    float frame = floor(time * 60.0);
    vec2 seed = vec2(mod(frame * 37.0, 997.0), mod(frame * 61.0, 991.0));

    // Whole lines jump sideways now and then.
    float lineJitter = (hash(vec2(pixel.y * 0.5, seed.x)) - 0.5) * 0.012;
    lineJitter *= step(0.92, hash(vec2(floor(pixel.y / 4.0), seed.y)));
    vec4 picture = texture2D(currentTexture, uv + vec2(lineJitter, 0.0));

    float snow = hash(floor(pixel / 2.0) + seed);
    float scanline = 0.8 + 0.2 * sin(gl_FragCoord.y * 3.14159);
    float rollAt = fract(time * 0.7);
    float bar = 1.0 - smoothstep(0.0, 0.06, abs(uv.y - rollAt));

    vec3 colour = mix(picture.rgb, vec3(snow), 0.55) * scanline;
    colour += bar * 0.22;
    gl_FragColor = vec4(colour, 1.0) * gl_Color;
}
