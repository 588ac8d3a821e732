#pragma once
#include "effects/Easing.hpp"
#include "runtime/Frame.hpp"

#include <SFML/Graphics/Sprite.hpp>

#include <cstdint>
#include <string>
#include <vector>

struct Particle {
    float x = 0.0f, y = 0.0f;
    float xs = 0.0f, ys = 0.0f;
    float xg = 0.0f, yg = 0.0f;
    float rot = 0.0f;
    float rotspeed = 0.0f;
    float scale = 1.0f;
    float scalespeed = 0.0f;
    sf::Sprite* sprite = nullptr;
    bool alive = false;
    bool fadeout = false;
    bool fadein = false;
    float fadeTime = 0.0f;
    float ttl = 0.0f;
    float age = 0.0f;
    std::int32_t fadeState = 0; // 1 once the fade-out has begun
    float alpha = 1.0f;
    Tween fade;
};

// A min/max pair from a definition file; a random value is drawn between them.
struct Range {
    float min = 0.0f;
    float max = 0.0f;
};

// One named particle effect: a fixed pool of particles spawned in a rectangle by interval
// while `emitting`, or at given points by `emitParticleAt`.
class ParticleSystem {
  public:
    // Reads the definition file and allocates `capacity` free slots. False (after its
    // diagnostics) when the file is missing, incomplete, of wrong types, or names no sprite.
    bool loadFromFile(const std::string& path, std::int32_t capacity);
    void spawnParticle();
    void emitParticleAt(float x, float y);
    void update(float dt);
    void draw();

    std::int32_t liveCount() const;
    const std::vector<Particle>& pool() const { return particles; }

    bool emitting = false;
    float spawnAccumulator = 0.0f;

  private:
    Particle* freeSlot();
    // With the pool full: uses up the intervals left in the accumulator (the dropped spawns).
    void usePendingIntervals();
    void fillSlot(Particle& slot, float x, float y);
    static void updateParticle(Particle& particle, float dt);

    std::vector<sf::Sprite*> sprites;
    std::vector<Particle> particles;

  public:
    float spawnInterval = 0.0f;
    std::int32_t capacity = 0;
    float minX = 0.0f, maxX = kFrameWidthF, minY = 0.0f, maxY = kFrameHeightF;
    Range xs, ys, xg, yg, rot, rotspeed, fadeTime, scale, scalespeed, ttl;
    bool fadein = false;
    bool fadeout = false;
};
