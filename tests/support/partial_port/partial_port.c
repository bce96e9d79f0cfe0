/* A port library that offers only some of libio.so's functions: built once
   with PortOut alone and once with PortIn alone, to show how the program
   copes with a library that lacks one. Writes go nowhere; reads are idle. */
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
