#version 110
// Digital glitch: the picture is torn into horizontal bands that shift sideways, with the red
// and blue channels split apart. Nothing happens at an amount of 0 or below; the bands
// re-roll as the amount moves, so a swinging amount gives a living glitch.
uniform sampler2D currentTexture;
uniform vec2 u_resolution;
uniform float glitchAmount;

float hash(vec2 p)
{
    return fract(sin(dot(p, vec2(12.9898, 78.233))) * 43758.5453);
}

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    float amount = max(glitchAmount, 0.0);
    float strength = clamp(amount / 128.0, 0.0, 1.0);
    vec2 texel = 1.0 / u_resolution;

    // Bands of 6..70 px, a new pattern every 1.5 units of amount.
    float seed = floor(amount / 1.5);
    float bandHeight = mix(70.0, 6.0, hash(vec2(seed, 3.7)));
    float band = floor(uv.y * u_resolution.y / bandHeight);
    float roll = hash(vec2(band, seed));

    float shift = 0.0;
    if (roll < 0.12 + 0.45 * strength)
        shift = (hash(vec2(band + 11.0, seed)) - 0.5) * amount * 3.0 * texel.x;
    // An occasional wide block jumps much further at high amounts.
    if (roll > 0.985 - 0.1 * strength)
        shift += (hash(vec2(seed, band)) - 0.5) * 0.25 * strength;

    float split = amount * (0.3 + 0.5 * roll) * texel.x;
    vec2 at = uv + vec2(shift, 0.0);
    vec4 base = texture2D(currentTexture, at);
    vec4 red = texture2D(currentTexture, at + vec2(split, 0.0));
    vec4 blue = texture2D(currentTexture, at - vec2(split, 0.0));

    vec4 colour = vec4(red.r, base.g, blue.b, max(base.a, max(red.a, blue.a)));
    // Faint bright scan noise inside torn bands.
    float spark = step(0.995 - 0.02 * strength, hash(vec2(floor(uv.x * u_resolution.x * 0.25), band + seed)));
    colour.rgb += spark * strength * 0.6 * colour.a;
    gl_FragColor = colour * gl_Color;
}
