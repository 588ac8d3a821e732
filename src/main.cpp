#include "runtime/FrameLoop.hpp"
#include "runtime/Startup.hpp"

#include <SFML/Graphics/RenderWindow.hpp>

int main() {
    sf::RenderWindow window;
    startUp(window);
    runFrameLoop();
    window.close();
    return 0;
}
