#pragma once

// Which family of servers a backend operation belongs to. It decides whether a request
// carries the device parameters and whether its reply is unwrapped from the envelope.
enum class Host {
    DialerGateway,        // the API gateway; replies come in the response envelope
    S3,                   // the storage bucket of the installer packages
    RemoteConfiguration,  // the content-delivery host of the remote configuration
    FusionAuth,           // the identity server's side of the account; replies decoded bare
};
