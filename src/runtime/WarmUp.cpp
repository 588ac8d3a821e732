#include "runtime/WarmUp.hpp"

#include "assets/TextureManager.hpp"
#include "effects/SparsePicture.hpp"

void prepareDrawing() {
    forgetSparsePictures();
    for (const char* key : {"mask", "frame", "frame-sides"}) {
        // A missing picture has been reported by the registries; asking for it would report
        // it again.
        if (TextureManager::exists(key)) {
            prepareSparsePicture(TextureManager::get(key));
        }
    }
}
