#include "app/CTessaro2App.h"

int main(int argc, char **argv) {
    CTessaro2App app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.Run();
}
