/** Delivery of keyed events from the native libraries to Java listeners. */
package com.qel.nx.server.qrt;
