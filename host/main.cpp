// devgroup: the host program. Everything lives in the hostapp library.
#include "hostapp/host_app.h"

int main(int argc, char** argv) {
    return hostapp::host_main(argc, argv);
}
