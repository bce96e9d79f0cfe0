/* A port library that offers only some of libio.so's functions: built with
   PortOut alone, with PortIn alone, and with both and IoBackendName but no
   IoPortDescription, to show how the program copes with a library that lacks
   one. Writes go nowhere; reads are idle. */
#if defined(WITH_PORT_OUT)
void PortOut(unsigned short port, unsigned char value) {
    (void)port;
    (void)value;
}
#endif
#if defined(WITH_PORT_IN)
unsigned char PortIn(unsigned short port) {
    (void)port;
    return 0;
}
#endif
#if defined(WITH_BACKEND_NAME)
const char* IoBackendName(void) { return "sim"; }
#endif
