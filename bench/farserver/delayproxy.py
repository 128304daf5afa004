#!/usr/bin/env python3
"""A far server on loopback: forwards 127.0.0.1:LISTEN to 127.0.0.1:TARGET,
delaying each direction by DELAY_MS and, when MBIT is not 0, letting each
direction carry at most MBIT megabits a second. Prints "ready PORT" once it
listens (LISTEN 0: a free port). Ends on SIGTERM or when stdin closes."""

import asyncio
import os
import signal
import sys


async def carry(reader, writer, delay, bits_per_second):
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def deliver():
        while True:
            at, data = await queue.get()
            wait = at - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                try:
                    writer.write_eof()
                except (OSError, RuntimeError):
                    writer.close()
                return
            writer.write(data)
            await writer.drain()

    sender = asyncio.create_task(deliver())
    link_free = 0.0
    try:
        while True:
            data = await reader.read(256 * 1024)
            now = loop.time()
            if not data:
                queue.put_nowait((max(now, link_free) + delay, None))
                break
            if bits_per_second:
                # Bytes leave one after another at the link's rate; reading
                # stops while more than a few milliseconds are queued, so
                # the sender feels the slow link as a real one.
                link_free = max(link_free, now) + len(data) * 8 / bits_per_second
                queue.put_nowait((link_free + delay, data))
                ahead = link_free - now
                if ahead > 0.005:
                    await asyncio.sleep(ahead - 0.005)
            else:
                queue.put_nowait((now + delay, data))
    except (ConnectionError, OSError):
        queue.put_nowait((loop.time(), None))
    try:
        await sender
    except (ConnectionError, OSError):
        pass


async def main():
    listen, target, delay_ms, mbit = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
    delay = delay_ms / 1000.0
    rate = mbit * 1e6

    async def accept(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
        except OSError:
            client_writer.close()
            return
        for w in (client_writer, server_writer):
            sock = w.get_extra_info("socket")
            if sock is not None:
                import socket
                sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        await asyncio.gather(carry(client_reader, server_writer, delay, rate),
                             carry(server_reader, client_writer, delay, rate),
                             return_exceptions=True)
        for w in (client_writer, server_writer):
            w.close()

    server = await asyncio.start_server(accept, "127.0.0.1", listen)
    port = server.sockets[0].getsockname()[1]
    print("ready", port, flush=True)
    loop = asyncio.get_running_loop()
    done = loop.create_future()
    loop.add_signal_handler(signal.SIGTERM, lambda: done.done() or done.set_result(None))
    loop.add_reader(sys.stdin.fileno(), lambda: done.done() or (sys.stdin.read(1) == "" and done.set_result(None)))
    await done
    # Connections still open are cut, as a network would.
    sys.stdout.flush()
    os._exit(0)


if __name__ == "__main__":
    asyncio.run(main())
