#include "NetworkingProtocol.h"

NetworkingProtocol::~NetworkingProtocol() = default;
