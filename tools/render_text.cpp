// Writes TEXT in Allegro's default 8 × 8 font, white on black, to FILE (a BMP), so that
// scripts can compare it with a screenshot of the game: render_text TEXT FILE
#include <allegro.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    if (install_allegro(SYSTEM_NONE, &errno, nullptr) != 0)
        return 2;
    set_color_depth(24);
    BITMAP* bmp = create_bitmap(8 * static_cast<int>(std::strlen(argv[1])), 8);
    clear_to_color(bmp, makecol(0, 0, 0));
    textout_ex(bmp, font, argv[1], 0, 0, makecol(255, 255, 255), makecol(0, 0, 0));
    int result = save_bitmap(argv[2], bmp, nullptr) == 0 ? 0 : 1;
    destroy_bitmap(bmp);
    return result;
}
END_OF_MAIN()
