// leaf
#include <string>
