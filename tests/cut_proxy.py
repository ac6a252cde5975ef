#!/usr/bin/env python3
"""A TCP proxy in front of the test database that breaks the link at a commit, once, when armed:

    tests/cut_proxy.py TARGET_PORT ARM_FILE

Prints its port once it listens. When ARM_FILE exists and a client sends COMMIT, the proxy reads
the file's first word and removes the file:
  lost   - the COMMIT never reaches the server; both sides are closed (the server rolls back)
  reply  - the COMMIT reaches the server, which commits; the answer never reaches the client
  reply-away - as reply, and for 8 s after it no new connection gets through (the server away)
Every other byte passes unchanged, before and after.
"""
import os
import socket
import sys
import threading
import time

target_port = int(sys.argv[1])
away = {'until': 0}
arm_file = sys.argv[2]


def take_arm():
    try:
        with open(arm_file) as f:
            mode = f.read().split()[0]
        os.remove(arm_file)
        return mode
    except (OSError, IndexError):
        return None


def close(*socks):
    for s in socks:
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        s.close()


def server_to_client(server, client, state):
    try:
        while True:
            data = server.recv(65536)
            if not data or state['cut']:
                break
            client.sendall(data)
    except OSError:
        pass
    close(server, client)


def client_to_server(client, server, state):
    buffer = b''
    try:
        while True:
            data = client.recv(65536)
            if not data:
                break
            buffer += data
            # whole packets: 3-byte length, sequence number, payload
            while len(buffer) >= 4:
                length = int.from_bytes(buffer[:3], 'little')
                if len(buffer) < 4 + length:
                    break
                packet, buffer = buffer[:4 + length], buffer[4 + length:]
                payload = packet[4:]
                if payload[:1] == b'\x03' and payload[1:].strip().upper() == b'COMMIT':
                    mode = take_arm()
                    if mode == 'lost':
                        state['cut'] = True
                        close(client, server)
                        return
                    if mode in ('reply', 'reply-away'):
                        if mode == 'reply-away':
                            away['until'] = time.time() + 8
                        state['cut'] = True
                        server.sendall(packet)
                        time.sleep(0.5)   # the server commits; its answer is dropped
                        close(client, server)
                        return
                server.sendall(packet)
    except OSError:
        pass
    close(client, server)


listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(('127.0.0.1', 0))
listener.listen(16)
print(listener.getsockname()[1], flush=True)
while True:
    client, _ = listener.accept()
    if time.time() < away['until']:
        close(client)
        continue
    server = socket.create_connection(('127.0.0.1', target_port))
    state = {'cut': False}
    threading.Thread(target=client_to_server, args=(client, server, state), daemon=True).start()
    threading.Thread(target=server_to_client, args=(server, client, state), daemon=True).start()
