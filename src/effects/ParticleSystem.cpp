#include "effects/ParticleSystem.hpp"

#include "assets/Definitions.hpp"
#include "assets/SpriteManager.hpp"
#include "effects/ShowRandom.hpp"
#include "runtime/Colour.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/Printable.hpp"

#include <cmath>
#include <cstdlib>
#include <iostream>

namespace {

const char* const kPrefix = "ParticleSystem: ";
// The most slots one pool may have (the show's systems use 100). Larger pools would cost
// memory and per-frame time beyond reason, and cannot always be allocated at all.
constexpr std::int32_t kMaxPoolSize = 100000;

// One number 0..32767: the top 15 bits of the show's 31-bit sequence (glibc's rand()). The
// draws are scaled by 1/32767, so all 31 bits would throw values far outside their ranges.
int random15() {
    return showRandom() / 65536;
}

float randomBetween(const Range& range) {
    const int r = random15();
    return (static_cast<float>(r) / 32767.0f) * (range.max - range.min) + range.min;
}

Range readRange(const nlohmann::json& document, const char* minKey, const char* maxKey) {
    Range range;
    range.min = readFloat(document.at(minKey));
    range.max = readFloat(document.at(maxKey));
    return range;
}

} // namespace

bool ParticleSystem::loadFromFile(const std::string& path, std::int32_t poolSize) {
    nlohmann::json document;
    if (!parseDefinitionFile(kPrefix, path, document)) {
        return false;
    }
    static const std::vector<std::string> required{
        "name",          "sprites",        "min_xs",         "max_xs",       "min_ys",
        "max_ys",        "min_xg",         "max_xg",         "min_yg",       "max_yg",
        "min_rot",       "max_rot",        "min_rotspeed",   "max_rotspeed", "min_scale",
        "max_scale",     "min_scalespeed", "max_scalespeed", "fadein",       "fadeout",
        "min_fadespeed", "max_fadespeed",  "min_ttl",        "max_ttl"};
    if (!validateJson(document, required)) {
        std::cerr << kPrefix << "Missing properties in jsonfile." << std::endl;
        return false;
    }
    if (poolSize < 0) {
        std::cerr << kPrefix << "Negative pool size for " << printable(path) << "." << std::endl;
        return false;
    }
    if (poolSize > kMaxPoolSize) {
        std::cerr << kPrefix << "Pool size too large for " << printable(path) << "." << std::endl;
        return false;
    }
    try {
        std::vector<sf::Sprite*> list;
        const nlohmann::json& names = document.at("sprites");
        auto addSprite = [&list](const nlohmann::json& name) {
            list.push_back(SpriteManager::get(name.get<std::string>()));
        };
        if (names.is_array()) {
            for (const auto& name : names) {
                addSprite(name);
            }
        } else {
            addSprite(names);
        }
        for (const sf::Sprite* sprite : list) {
            if (sprite == nullptr) {
                std::cerr << kPrefix << "Unknown sprite in " << printable(path) << "." << std::endl;
                return false;
            }
        }
        if (list.empty()) {
            std::cerr << kPrefix << "No sprites in " << printable(path) << "." << std::endl;
            return false;
        }

        ParticleSystem loaded;
        loaded.minX = readOptionalFloat(document, "min_x", 0.0f);
        loaded.maxX = readOptionalFloat(document, "max_x", kFrameWidthF);
        loaded.minY = readOptionalFloat(document, "min_y", 0.0f);
        loaded.maxY = readOptionalFloat(document, "max_y", kFrameHeightF);
        loaded.xs = readRange(document, "min_xs", "max_xs");
        loaded.ys = readRange(document, "min_ys", "max_ys");
        loaded.xg = readRange(document, "min_xg", "max_xg");
        loaded.yg = readRange(document, "min_yg", "max_yg");
        loaded.rot = readRange(document, "min_rot", "max_rot");
        loaded.rotspeed = readRange(document, "min_rotspeed", "max_rotspeed");
        loaded.scale = readRange(document, "min_scale", "max_scale");
        loaded.scalespeed = readRange(document, "min_scalespeed", "max_scalespeed");
        loaded.fadein = document.at("fadein").get<bool>();
        loaded.fadeout = document.at("fadeout").get<bool>();
        loaded.fadeTime = readRange(document, "min_fadespeed", "max_fadespeed");
        loaded.ttl = readRange(document, "min_ttl", "max_ttl");
        loaded.spawnInterval = readOptionalFloat(document, "spawn_rate", 0.0f);
        loaded.capacity = poolSize;
        loaded.sprites = std::move(list);
        loaded.particles.assign(static_cast<std::size_t>(poolSize), Particle{});
        *this = std::move(loaded);
    } catch (const nlohmann::json::exception& error) {
        reportEntryError(kPrefix, path, error);
        return false;
    }
    return true;
}

Particle* ParticleSystem::freeSlot() {
    for (auto& slot : particles) {
        if (!slot.alive) {
            return &slot;
        }
    }
    return nullptr;
}

void ParticleSystem::fillSlot(Particle& slot, float x, float y) {
    slot.x = x;
    slot.y = y;
    slot.xs = randomBetween(xs);
    slot.ys = randomBetween(ys);
    slot.fadeTime = randomBetween(fadeTime);
    slot.ttl = randomBetween(ttl);
    slot.xg = randomBetween(xg);
    slot.yg = randomBetween(yg);
    slot.rot = randomBetween(rot);
    slot.rotspeed = randomBetween(rotspeed);
    slot.scale = randomBetween(scale);
    slot.scalespeed = randomBetween(scalespeed);
    slot.sprite = sprites[static_cast<std::size_t>(random15()) % sprites.size()];
    slot.fadein = fadein;
    slot.fadeout = fadeout;
    slot.age = 0.0f;
    slot.fadeState = 0;
    if (slot.fadein) {
        slot.alpha = 0.0f;
        slot.fade.start(0.0f, 1.0f, slot.fadeTime, Easing::SineOut, 0.0f);
    } else {
        slot.alpha = 1.0f;
    }
    slot.alive = true;
}

void ParticleSystem::spawnParticle() {
    if (!emitting) {
        return;
    }
    Particle* slot = freeSlot();
    if (slot == nullptr || sprites.empty()) {
        return;
    }
    // The position is drawn first, then the rest in the same order as for emitParticleAt.
    const float x = randomBetween(Range{minX, maxX});
    const float y = randomBetween(Range{minY, maxY});
    fillSlot(*slot, x, y);
}

void ParticleSystem::emitParticleAt(float x, float y) {
    Particle* slot = freeSlot();
    if (slot == nullptr || sprites.empty()) {
        return;
    }
    fillSlot(*slot, x, y);
}

void ParticleSystem::updateParticle(Particle& p, float dt) {
    p.age += dt;
    if (p.fadeout && p.fadeState != 1 && p.age >= p.ttl - p.fadeTime) {
        p.fadeState = 1;
        p.fade.start(1.0f, 0.0f, p.fadeTime, Easing::SineOut, 0.0f);
    }
    p.fade.advanceTime(dt);
    p.x += p.xs * dt;
    p.y += p.ys * dt;
    p.rot += p.rotspeed * dt;
    if (p.fade.active) {
        p.fade.evaluate();
        p.alpha = p.fade.value;
    }
    p.xs += p.xg * dt;
    p.ys += p.yg * dt;
    p.scale += p.scalespeed * dt;
    if (p.age >= p.ttl) {
        p.fade.active = false;
        p.alive = false;
    }
}

void ParticleSystem::usePendingIntervals() {
    constexpr float kMostSteps = 65536.0f;
    const bool subtractionMoves = spawnAccumulator - spawnInterval < spawnAccumulator;
    if (subtractionMoves && spawnAccumulator / spawnInterval <= kMostSteps) {
        while (spawnAccumulator >= spawnInterval) {
            spawnAccumulator -= spawnInterval;
        }
    } else {
        spawnAccumulator = std::fmod(spawnAccumulator, spawnInterval);
    }
}

void ParticleSystem::update(float dt) {
    spawnAccumulator += dt;
    // A non-positive interval would never use up the accumulator: such a system only
    // spawns through emitParticleAt.
    if (emitting && spawnInterval > 0.0f) {
        while (spawnAccumulator >= spawnInterval) {
            if (freeSlot() == nullptr) {
                // The pool is full, so every further spawn of this frame is dropped; each
                // still uses up its interval, one subtraction per spawn. Only where that
                // could not end (an interval too small to change the accumulator) or would
                // take very many steps (a long stall against a tiny interval) the remainder is
                // taken at once.
                usePendingIntervals();
                break;
            }
            spawnParticle();
            spawnAccumulator -= spawnInterval;
        }
    }
    for (auto& particle : particles) {
        if (particle.alive) {
            updateParticle(particle, dt);
        }
    }
}

void ParticleSystem::draw() {
    for (const auto& particle : particles) {
        if (!particle.alive) {
            continue;
        }
        sf::Sprite& sprite = *particle.sprite;
        sprite.setPosition(particle.x, particle.y);
        sprite.setRotation(particle.rot);
        sprite.setColor(sf::Color(255, 255, 255, alphaByte(particle.alpha)));
        sprite.setScale(particle.scale, particle.scale);
        demo.frameTarget.draw(sprite);
    }
}

std::int32_t ParticleSystem::liveCount() const {
    std::int32_t count = 0;
    for (const auto& particle : particles) {
        count += particle.alive ? 1 : 0;
    }
    return count;
}
