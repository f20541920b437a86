// vantrel: the window on the real network, through Samba's network management library.
#include "app/WindowProgram.h"
#include "samba/OpenSambaNetApi.h"

int main(int argc, char** argv) {
  return vantrel::RunWindowProgram(argc, argv, &vantrel::netapi::samba::OpenSambaNetApi);
}
