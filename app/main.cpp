#include "app/talkpost_app.h"

int main(int argc, char **argv)
{
    CTalkpostApp app(argc, argv);
    if (!app.InitInstance())
        return 0;
    return app.exec();
}
